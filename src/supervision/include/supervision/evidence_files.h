// The files of the evidence folder, which the daemon writes and zelkctl
// reads: each dump "<application>_<time>_<process>.dmp", and beside it a
// note of the same name ending in ".txt" that says what the dump is of.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr char kEvidenceDumpExtension[] = "dmp";
constexpr char kEvidenceNoteExtension[] = "txt";

// What a dump's file name holds.
struct EvidenceName {
    std::string application;  // exactly as config.xml names it
    int64_t writtenAtMs = 0;  // when the dump began, milliseconds since the epoch (UTC)
    uint32_t processId = 0;
};

// "recorder.exe_20261209T031415123Z_4242.dmp": the application with every
// byte other than a letter, a digit, ".", "-" or "_" written as "%XX" (so
// that no name can climb out of the folder or name a device), the UTC time
// to the millisecond and the process, each after a "_" (read from the end).
std::string EvidenceDumpName(const EvidenceName& name);

// The note's file name beside the dump `dumpName`.
std::string EvidenceNoteName(const std::string& dumpName);

// Reads a dump's file name back; false for any other name.
bool ParseEvidenceDumpName(std::string_view fileName, EvidenceName* name);

// What the note beside a dump says, one "key: value" line each. The values
// are single lines: control bytes are written as "\xHH".
struct EvidenceNote {
    std::string application;
    std::string endpoint;           // "ip:port" the watchdog connects to
    std::string cycle;              // "silent 30": the cycle and count that decided it
    std::string process;            // the process id
    std::string takenAt;            // RFC 3339, local time
    std::string lastMessageAt;      // RFC 3339, or "none"
    std::string lastMessage;        // the tail of the last read, escaped
    std::string daemonVersion;      // the daemon's version
    std::string executableVersion;  // the application's build, or empty
    std::string dump;               // the dump's file name
    std::string bytes;              // its size
    std::string milliseconds;       // how long it took
};

std::string EvidenceNoteText(const EvidenceNote& note);

// Reads a note; the keys it does not know are passed over, those missing
// stay empty. False when no line of it is a known key.
bool ParseEvidenceNote(std::string_view text, EvidenceNote* note);
