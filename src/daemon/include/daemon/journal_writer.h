// The event journal's writer: one consumer of the supervisor's events that
// turns each transition into a journal line (journal_line.h) and appends it
// to the day's file from a thread of its own, so that no watchdog ever waits
// for the disk. Files older than the days to keep are removed once a day. A
// folder that cannot be written costs one log line per streak of failures
// (and one when writing works again); lines that find the queue full are
// counted and said once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "daemon/event_log.h"
#include "supervision/config_walk.h"
#include "supervision/event_hub.h"
#include "supervision/journal_line.h"

// Lines waiting for the writer at most; more are dropped and counted. Far
// more than the transitions of twenty applications in a burst.
constexpr std::size_t kJournalQueueLines = 4096;

class JournalService final : public EventConsumer {
  public:
    explicit JournalService(const JournalSettings& settings);
    ~JournalService() override;
    JournalService(const JournalService&) = delete;
    JournalService& operator=(const JournalService&) = delete;

    // Creates the folder when it is missing and starts the writer thread;
    // false when no thread could be started (nothing is journaled).
    bool Start();
    // Writes what is queued, then ends the thread. Safe to call more than once.
    void Stop();

    void OnAppEvent(const AppIdentity& app, const WatchdogEvent& event, int64_t timeMs) override;
    void OnDaemonEvent(const DaemonEvent& event, int64_t timeMs) override;

  private:
    struct Line {
        journal::Time time;
        std::string text;
    };
    void Enqueue(const journal::Time& time, std::string text);
    void Run();
    void Write(const std::deque<Line>& lines);
    void RemoveOldFiles(int64_t today);

    JournalSettings settings_;
    std::string folder_;  // with its separator
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Line> queue_;
    std::size_t dropped_ = 0;
    bool stop_ = false;
    std::thread thread_;
    // The writer thread's own.
    WriteStreak streak_{"JournalService::Write", "event journal"};
    std::string checkedPath_;  // the file whose end was looked at and appended to
    int64_t lastPurgeDay_ = INT64_MIN;
};
