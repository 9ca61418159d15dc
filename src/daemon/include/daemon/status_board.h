// The status of every watched application, shared between the watchdog
// threads (which change their own record through a StatusRecorder) and the
// status writer (which copies all of them). One short lock guards the
// records; nothing slow happens under it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "daemon/app_config.h"
#include "daemon/status_snapshot.h"
#include "daemon/watchdog_events.h"

// Seconds since the epoch; production passes platform::CurrentTime.
using WallClock = int64_t (*)();

class StatusBoard {
  public:
    StatusBoard(int64_t daemonStartTime, WallClock clock);

    // Adds the record of the application at `index`, before its thread runs;
    // returns the record's slot.
    int Add(const AppConfig& app, int index);
    // The slot of the record added for `app`, or -1.
    int SlotOf(const AppConfig* app) const;
    // Applies a watchdog's event to the record in `slot` and wakes the writer.
    void Apply(int slot, const WatchdogEvent& event);

    // A copy of every record, stamped with the current time as write time.
    StatusSnapshot Snapshot() const;

    // For the writer: waits up to `milliseconds` for a change or the stop
    // (only the stop when `changesWake` is false). Returns whether anything
    // changed since the last call that said so.
    bool Wait(unsigned milliseconds, bool changesWake);
    void RequestStop();
    bool StopRequested() const;

  private:
    WallClock clock_;
    int64_t daemonStartTime_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<AppStatus> apps_;
    std::vector<const AppConfig*> keys_;
    bool changed_ = false;
    bool stop_ = false;
};

// The board's side of one watchdog: its events change its record.
class StatusRecorder final : public WatchdogSink {
  public:
    StatusRecorder(StatusBoard& board, int slot) : board_(board), slot_(slot) {}
    void Report(const WatchdogEvent& event) override { board_.Apply(slot_, event); }

  private:
    StatusBoard& board_;
    int slot_;
};
