// Process basics: the executable's path, sleeping, the debugger-output
// channel and the clock. Errors never throw; see each function.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace platform {

// The directory separator of paths on this platform (kPathSeparator), and
// every character the system reads as one in a path it is given.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
constexpr const char* kPathSeparators = "\\/";
#else
constexpr char kPathSeparator = '/';
constexpr const char* kPathSeparators = "/";
#endif

// True when `path` ends in the path separator (only the platform's own: a
// forward slash is no separator at the end of a Windows folder here).
inline bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && path.back() == kPathSeparator;
}

// Full path of the running executable; empty when the platform cannot tell.
std::string ExecutablePath();

// The folder of `path` up to and including its last separator; empty when
// `path` has no separator.
std::string FolderOf(const std::string& path);

// True for a path that does not depend on the current folder: POSIX "/...";
// Win32 "X:\..." (or "X:/..."), "\\server\..." and "\...".
bool IsAbsolutePath(const std::string& path);

// Suspends the calling thread for `milliseconds`.
void SleepMs(unsigned milliseconds);

// Sends `text` to the debugger-output channel (Win32: OutputDebugString;
// POSIX: syslog). Used where the log itself cannot be written.
void DebugOutput(const char* text);

// Seconds since the epoch.
int64_t CurrentTime();

// Milliseconds since the epoch.
int64_t CurrentTimeMs();

// Milliseconds of a clock that never goes back (unrelated to the date).
int64_t MonotonicMs();

// Converts `seconds` to local broken-down time. False when the time cannot
// be represented; `out` is then left as it was.
bool LocalTime(int64_t seconds, std::tm* out);

}  // namespace platform
