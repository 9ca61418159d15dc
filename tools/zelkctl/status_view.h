// zelkctl status as text: each application's state in words, ages, the
// verdict with its exit code, and the aligned table. Pure functions of a
// parsed snapshot, the current time and the local time zone.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "supervision/status_snapshot.h"

namespace zelkctl {

// Exit codes of zelkctl status, as monitoring plugins give them.
constexpr int kStatusOk = 0;  // every application connected, the snapshot fresh
// Some application connecting, silent, failing, down or flapping, or none
// configured.
constexpr int kStatusWarning = 1;
// The daemon stopped, gone or stuck (its snapshot too old), or an
// application that nobody watches.
constexpr int kStatusCritical = 2;
constexpr int kStatusUnknown = 3;  // no snapshot, or one that cannot be read

// A snapshot whose write time lies further than this from now, in either
// direction, is stale: four of the daemon's routine intervals, so that a
// slow disk or a busy station never passes for a stopped daemon (after the
// clock was set back, the daemon writes the new time within one interval).
constexpr int64_t kStaleSeconds = 4 * kStatusRoutineIntervalSeconds;

// The application's state in words: "connected" (", N waits silent" while
// data has not come for a few waits), "connecting, N waits", "silent, N
// waits", "failing, N reads", "down, " and one of those, or "not watched";
// after "flapping, N in 1h; " when its restarts make a storm.
std::string StateText(const AppStatus& app);

// kStatusOk for a connected application, kStatusCritical for one not
// watched, kStatusWarning for every other state, for flapping and for
// maintenance (zelkctl pause).
int AppExitCode(const AppStatus& app);

// Whether the process that wrote `snapshot` is worth asking after
// (platform::ProcessRuns): the snapshot names it, on `localHost` (this
// host's name, UTF-8), and does not say the daemon stopped.
bool WriterToAsk(const StatusSnapshot& snapshot, const std::string& localHost);

// kStatusCritical when the daemon stopped, its process is known to be gone
// (`writerGone`), its snapshot is stale or an application is not watched;
// kStatusWarning when it watches no application; else the worst AppExitCode.
int StatusExitCode(const StatusSnapshot& snapshot, int64_t now, bool writerGone = false);

// What an operator reads under "cannot read PATH" when the snapshot is not
// there: what it means and what to do, with `serviceCommand` (the system's
// way to ask after the service).
std::string NoSnapshotAdvice(const char* serviceCommand);

// What to do about a config.xml without a status element.
std::string NoStatusElementAdvice(const char* serviceCommand);

// A length of time as "42s", "3m 05s", "2h 07m" or "3d 04h"; negative
// lengths count as 0.
std::string Duration(int64_t seconds);

// The local broken-down time of `seconds` since the epoch; false when it
// cannot be told (platform::LocalTime in zelkctl).
using LocalTimeOf = bool (*)(int64_t seconds, std::tm* local);

// The report: a verdict line ("OK: ...", "WARNING: ...", "CRITICAL: ...",
// a stop time in `localTime`), a line naming the snapshot `source` and the
// daemon's version and uptime as of `now` (its run time once it stopped; its
// uptime at the last write when it is gone or stuck), and one on
// config.xml's pitfalls when it has any, then one row per application under
// a header, and under it who paused each application in maintenance, why
// and until when. The age of an application's last message is as of the snapshot's
// write while the daemon runs (it does not rewrite it for every message),
// and as of `now` once it no longer does (stopped, gone or stuck): nothing
// has been received since, and each row keeps the state it had then.
std::string StatusReport(const StatusSnapshot& snapshot, const std::string& source, int64_t now,
                         LocalTimeOf localTime, bool writerGone = false);

}  // namespace zelkctl
