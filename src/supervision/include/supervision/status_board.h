// The status of every watched application, shared between the watchdog
// threads (which change their own record through a StatusRecorder) and the
// status writer (which copies all of them). One short lock guards the
// records; nothing slow happens under it.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "supervision/app_config.h"
#include "supervision/event_hub.h"
#include "supervision/status_record.h"
#include "supervision/status_snapshot.h"
#include "supervision/watchdog_events.h"

// Seconds since the epoch; production passes platform::CurrentTime.
using WallClock = int64_t (*)();

class StatusBoard {
  public:
    StatusBoard(int64_t daemonStartTime, WallClock clock);

    // What the snapshot says of config.xml; set before the writer starts.
    void SetConfig(bool loaded, int32_t pitfalls);
    // The daemon's process, which every snapshot names; its host is made
    // UTF-8 from the ANSI code page. Set before the writer starts.
    void SetWriter(const WriterProcess& writer);

    // Adds the row of the application at `index` (0 to 19), before its
    // thread runs, and returns `index`. Its name and endpoint are made UTF-8
    // from the ANSI code page.
    int Add(const AppConfig& app, int index);
    // Drops the row at `index` (a reload removed its application); wakes
    // the writer.
    void Remove(int index);
    // What a control request changed: a granted pause (or one kept across
    // the daemon's restart) puts its row in maintenance with its end, who and
    // why; a resume or the pause's end takes it out; a refused request is
    // counted. Wakes the writer.
    void ApplyControl(const daemon_event::Control& control);
    // Applies a watchdog's event to the row at `index` and wakes the writer
    // when the application's state changed.
    void Apply(int index, const WatchdogEvent& event);

    // A copy of every row, in the order of their indices, stamped with the
    // current time as write time (and as stop time once the stop was asked).
    StatusSnapshot Snapshot() const;

    // For the writer: waits up to `milliseconds` for a change of state or the
    // stop (only the stop when `changesWake` is false). Returns whether a
    // state changed since the last call that said so.
    bool Wait(unsigned milliseconds, bool changesWake);
    void RequestStop();
    bool StopRequested() const;

  private:
    struct Row {
        bool used = false;
        AppRecord record;
    };

    WallClock clock_;
    int64_t daemonStartTime_;
    int64_t stopTime_ = 0;
    bool configLoaded_ = false;
    int32_t configPitfalls_ = 0;
    uint64_t controlRefused_ = 0;
    WriterProcess writer_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::array<Row, kMaxApplications> rows_;
    bool changed_ = false;
    bool stop_ = false;
};

// The board's side of one watchdog: its events change its row.
class StatusRecorder final : public WatchdogSink {
  public:
    StatusRecorder(StatusBoard& board, int index) : board_(board), index_(index) {}
    void Report(const WatchdogEvent& event) override { board_.Apply(index_, event); }

  private:
    StatusBoard& board_;
    int index_;
};
