// How the watchdog's events change an application's status record. Pure.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "supervision/status_snapshot.h"
#include "supervision/watchdog_events.h"

// The times of an application's latest terminations (or restarts), oldest
// overwritten first.
class RecentTimes {
  public:
    // The fastest cycle of the watchdog (31 failed reads, each followed by a
    // pause of 1 s) terminates about 116 times an hour; the count of the
    // last hour is exact up to this many and saturates above it.
    static constexpr std::size_t kCapacity = 128;

    void Add(int64_t time);
    // Times within `seconds` of `now`, either side (a clock set back a
    // little keeps them; one set back by more drops them).
    int32_t Within(int64_t now, int64_t seconds) const;

  private:
    std::array<int64_t, kCapacity> times_{};
    std::size_t next_ = 0;
    std::size_t count_ = 0;
};

// What the board keeps of one application.
struct AppRecord {
    AppStatus status;
    RecentTimes terminationTimes;
    RecentTimes restartTimes;
};

// Applies one event of the application's watchdog to its record; `now` is
// the time of the event in seconds since the epoch. A termination that finds
// the application not down yet is a restart (journal::TerminationRestarts).
// The thread's exit keeps the state it found: what the last snapshot shows
// is the state at the stop, not the exit's fresh counts.
void ApplyEvent(AppRecord& record, const WatchdogEvent& event, int64_t now);

// Counts processes a termination actually ended, from the event that tells
// how many.
void CountTerminatedProcesses(AppRecord& record, int32_t processes);

// The record's status as of `now`: its terminations and restarts of the last
// hour counted.
AppStatus StatusAt(const AppRecord& record, int64_t now);
