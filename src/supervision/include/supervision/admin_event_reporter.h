// Decides which administrator events reach the administrator's log (the
// Windows Event Log, the journal): per application and kind at most one event
// a minute, then one summary event (EventsHeldBack) saying how many were held
// back. Pure: the clock is handed in and every entry goes to a sink.
// Thread-safe: any watchdog thread may report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "supervision/admin_events.h"

// At most one event of a kind per application in this time, so that an
// application that fails every few seconds cannot flood the log.
constexpr int64_t kAdminEventIntervalMs = 60 * 1000;
// An insert is cut after this many bytes (at a character boundary) and ends
// with "...": an event is read by a person, and the longest insert, the
// findings of a broken configuration, is told in full by zelkctl check.
constexpr std::size_t kAdminInsertMaxBytes = 4096;

// One event as it is to be written.
struct AdminEntry {
    const AdminEventKind* kind;
    // The application's index in config.xml, or -1 for the service.
    int app;
    // Exactly kind->insertCount inserts, each cut to kAdminInsertMaxBytes,
    // with "\n" as the only control character kept (a line break inside an
    // insert, such as between findings); "\r" is dropped and every other
    // control character becomes a space.
    std::vector<std::string> inserts;
};

// Where entries go: the platform's event log in service mode, a recorder in
// tests. Write is called under the reporter's lock, one entry at a time; it
// must not report back to the reporter.
class AdminEventSink {
  public:
    virtual ~AdminEventSink() = default;
    virtual void Write(const AdminEntry& entry) = 0;
};

enum class AdminOutcome {
    kWritten,    // handed to the sink
    kHeldBack,   // counted for the next summary
    kNoSink,     // no sink set (console mode): dropped
    kUnknownId,  // not a row of the table: dropped
};

class AdminEventReporter {
  public:
    // `nowMs`: milliseconds of a clock that never goes back.
    explicit AdminEventReporter(std::function<int64_t()> nowMs);

    // Where entries go from now on; null drops every event. Not owned.
    void SetSink(AdminEventSink* sink);

    // Reports event `id` of application `app` (-1: the service). Inserts
    // beyond the kind's count are left out, missing ones are empty. The
    // first event of its application and kind is written; later ones within
    // kAdminEventIntervalMs of the last one written are held back. The
    // summary of those held back is written before the next one that is.
    AdminOutcome Report(AdminEventId id, int app, std::vector<std::string> inserts);

    // Writes the summary of every application and kind whose minute is over
    // with events held back. For a caller that ticks, so that a summary
    // comes when a storm has ended rather than with the next event.
    void ReportHeldBack();

    // Writes the summary of every application and kind with events held
    // back, minute over or not: before the service stops.
    void FlushHeldBack();

  private:
    struct Window {
        bool written = false;
        int64_t lastWrittenMs = 0;
        int64_t held = 0;
        std::string appName;  // the application's name as the held events gave it
    };
    using Key = std::pair<int, uint32_t>;

    void WriteSummary(const Key& key, Window& window);

    std::function<int64_t()> nowMs_;
    std::mutex lock_;
    AdminEventSink* sink_ = nullptr;
    std::map<Key, Window> windows_;
};
