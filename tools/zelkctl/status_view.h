// zelkctl status as text: each application's state in words, ages, the
// verdict with its exit code, and the aligned table. Pure functions of a
// parsed snapshot and the current time.
#pragma once

#include <cstdint>
#include <string>

#include "daemon/status_snapshot.h"

namespace zelkctl {

// Exit codes of zelkctl status, as monitoring plugins give them.
constexpr int kStatusOk = 0;            // every application connected, the snapshot fresh
constexpr int kStatusNotConnected = 1;  // some application not connected
constexpr int kStatusStale = 2;         // the snapshot is too old: the daemon stopped or hangs
constexpr int kStatusUnknown = 3;       // no snapshot, or one that cannot be read

// A snapshot whose write time lies further than this from now, in either
// direction, is stale: the daemon writes at least every 10 seconds, and
// after the clock was set back it writes the new time within as long.
constexpr int64_t kStaleSeconds = 30;

// "connected"; "connecting, N waits" while not connected; "failing, N reads"
// while reads fail; "silent, N waits" while connected without data.
std::string StateText(const AppStatus& app);

// Connected for the exit code: the connection is up and its reads succeed.
bool CountsAsConnected(const AppStatus& app);

// kStatusStale, kStatusNotConnected or kStatusOk, in this precedence.
int StatusExitCode(const StatusSnapshot& snapshot, int64_t now);

// A length of time as "42s", "3m 05s", "2h 07m" or "3d 04h"; negative
// lengths count as 0.
std::string Duration(int64_t seconds);

// The report: a verdict line ("OK: ...", "WARNING: ...", "CRITICAL: ..."),
// a line naming the snapshot `source` and the daemon's uptime, then one row
// per application under a header.
std::string StatusReport(const StatusSnapshot& snapshot, const std::string& source, int64_t now);

}  // namespace zelkctl
