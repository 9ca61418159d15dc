// Clocks, medians and the process's own memory figures for the benchmark.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Monotonic seconds.
double NowSeconds();
// CPU seconds (user and system) of the calling thread: unlike the wall
// clock it does not count the time other processes on a shared machine
// hold the cores.
double ThreadCpuSeconds();

double Median(std::vector<double> values);

// The whole file, or an empty string when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// A "VmRSS"/"VmHWM"-style field of /proc/<pid>/status in bytes (pid 0: this
// process); -1 when it cannot be read.
int64_t StatusBytes(const char* field, int pid = 0);

// Resets this process's peak resident size to its current size (Linux 4.0
// and later); false when the kernel refuses.
bool ResetPeakResident();

// Runs `command` through the shell, returning what it printed; `status` gets
// the wait status.
std::string RunCapture(const std::string& command, int* status);
