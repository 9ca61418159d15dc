// The benchmark's sections besides the parser comparison.
#pragma once

#include <string>

// LoadFile of the 50 MB UTF-16LE corpus against reading it and converting it
// with iconv alone.
void RunLoadFileBench(const std::string& corpora, int reps);

// Framing a 20 MiB and a 1 MiB train message that arrive in 64 KiB reads.
void RunFramingBench(int reps);

// WriteLog from 20 threads at once: lines per second and lines lost.
void RunLogBench();

// The real daemon executable watching 20 quiet applications (listening
// sockets of this process that send a heartbeat every 2 seconds): resident
// memory and CPU seconds per hour over `seconds`.
void RunWatchdogBench(const std::string& daemonExe, int seconds);

// The real daemon with the status snapshot on, watching 20 quiet
// applications for `seconds`: snapshot writes, the bytes they cost per day
// (from /proc/<pid>/io), and how soon a closed connection shows in the file.
void RunStatusWriteBench(const std::string& daemonExe, int seconds);
