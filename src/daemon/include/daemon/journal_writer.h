// The event journal's writer: one consumer of the supervisor's events that
// turns each transition into a journal line (supervision/journal_line.h)
// and appends it to the day's file from a thread of its own, so that no
// watchdog ever waits for the disk. Each day's file stands alone: at each
// local midnight the writer first writes the state of every application
// (journal/app_state.h). Files older than the days to keep are removed once
// a day, by a rule no clock jump can turn against the journal
// (journal/retention.h; after a jump nothing is removed until the clock has
// kept step for an hour, and a file written within the days to keep is
// never removed). A folder that cannot be written costs one log line per
// streak of failures (and one when writing works again); lines that find
// the queue full are counted and said once; the stop waits for the writer
// a few seconds at most.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "journal/time_format.h"
#include "supervision/config_walk.h"
#include "supervision/event_hub.h"

// Lines waiting for the writer at most; more are dropped and counted. Far
// more than the transitions of twenty applications in a burst.
constexpr std::size_t kJournalQueueLines = 4096;
// How long the stop waits for the writer to write what is queued; lines
// still queued then are counted in the log, not waited for.
constexpr int64_t kJournalStopLimitMs = 3000;
// After a clock jump, how long the clock must keep step before files are
// removed again.
constexpr int64_t kJournalSteadyMs = 3600 * 1000;

// What the writer reads and writes through: the station's clock
// (milliseconds since the epoch), a steady one (milliseconds from any
// start), the append to a file (platform::AppendToFile), and how long the
// stop waits for it.
struct JournalSeams {
    int64_t (*wallMs)();
    int64_t (*monotonicMs)();
    bool (*append)(const std::string& path, const std::string& content, int32_t* error);
    int64_t stopLimitMs = kJournalStopLimitMs;
};
JournalSeams PlatformJournalSeams();

// The instant `ms` (since the epoch) with the station's offset from UTC at it.
journal::Time LocalJournalTime(int64_t ms);

class JournalService final : public EventConsumer {
  public:
    explicit JournalService(const JournalSettings& settings,
                            JournalSeams seams = PlatformJournalSeams());
    ~JournalService() override;
    JournalService(const JournalService&) = delete;
    JournalService& operator=(const JournalService&) = delete;

    // Creates the folder when it is missing and starts the writer thread;
    // false when no thread could be started (nothing is journaled).
    bool Start();
    // Writes what is queued, then ends the thread; gives up on a writer
    // that does not finish within kJournalStopLimitMs (the lines it still
    // held are said in the log). Safe to call more than once.
    void Stop();

    void OnAppEvent(const AppIdentity& app, const WatchdogEvent& event, int64_t timeMs) override;
    void OnDaemonEvent(const DaemonEvent& event, int64_t timeMs) override;

  private:
    struct Writer;  // the writer thread's state; outlives the service when the stop gives up

    std::shared_ptr<Writer> writer_;
    std::thread thread_;
    // Applications whose identity the writer has been given, for the day's states.
    std::array<std::atomic<bool>, kMaxApplications> known_{};
};
