// zelkctl history without its I/O: the journal's events, a file at a time,
// filtered and turned into table rows or JSON Lines, and the summary of
// each application's time in each state over the range.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "journal/event.h"
#include "zelkctl/journal_time.h"
#include "zelkctl/timeline_spans.h"

namespace zelkctl {

struct HistoryQuery {
    std::vector<std::string> apps;   // empty: every application
    std::vector<std::string> kinds;  // empty: every kind
    int64_t sinceMs = INT64_MIN;     // the range, [since, until)
    int64_t untilMs = INT64_MAX;
    bool json = false;
};

// True when `event` is shown for `query`: within the range, of a chosen
// kind, and about a chosen application (a control request names the one it
// concerns). The daemon's own events (start, stop, configuration) go with
// every choice of applications, as they explain what happened to each.
bool Matches(const HistoryQuery& query, const journal::Event& event);

class HistoryReport {
  public:
    // The summary's range is written in the local time of `zone`.
    HistoryReport(const HistoryQuery& query, const LocalZone& zone);

    // One event of the journal and the line it came from, in the order the
    // daemon wrote them.
    void Add(const journal::Event& event, std::string_view line);
    // A suspect one (see SuspectEvents): listed with its time marked as
    // such, but left out of the summary and its range.
    void AddSuspect(const journal::Event& event, std::string_view line);

    // The output for the events added since the last call that match:
    // table rows (with the header before the first), or the lines
    // themselves for JSON Lines. The application column widens, call by
    // call, to the longest name it has shown.
    std::string TakeOutput();

    // The rest of the output: in the table, "no events" when none matched,
    // and the summary per application up to `endMs` (the last states
    // lasting until then; a journal whose lines go past it, written under a
    // clock ahead of this one, up to its last line); no summary for JSON
    // Lines.
    std::string Finish(int64_t endMs);

    const HistoryQuery& Query() const { return query_; }

    // How many events matched so far.
    int64_t Shown() const { return shown_; }

    // Whether every application the query names has been met in the
    // events added so far (true when it names none).
    bool AllAppsMet() const { return unmet_ == 0; }
    // With --app: the applications met so far, in the order first met.
    const std::vector<std::string>& AppsMet() const { return appsMet_; }

  private:
    // A matching row, kept until TakeOutput knows the column's width: its
    // time, and its application's name and the rest of the row (the kind,
    // padded, and the details) as views of pendingText_.
    struct PendingRow {
        int64_t timeMs;
        int offsetMinutes;
        std::size_t appStart, appEnd, tailEnd;
    };

    void AddRow(const journal::Event& event, std::string_view line, bool suspect);
    void Meet(const journal::Event& event);

    HistoryQuery query_;
    const LocalZone& zone_;
    TimelineBuilder builder_;
    std::vector<PendingRow> pending_;
    std::string pendingText_;
    std::string pendingLines_;  // JSON Lines
    std::size_t appWidth_ = 3;
    bool headerShown_ = false;
    int64_t shown_ = 0;
    bool anyEvent_ = false;
    int64_t firstMs_ = 0;
    int64_t lastMs_ = 0;
    std::vector<std::string> appsMet_;
    std::unordered_set<std::string> metNames_;
    std::size_t unmet_ = 0;  // applications of the query not met yet
};

// The summary of `timeline` from `fromMs` to `toMs` (written in the local
// time of `zone`): one row per application with its time connected,
// connecting, silent, failing and down, and its terminations, launches,
// trains and mismatches; a line for each stretch of maintenance (who, why,
// how long); then the time the daemon did not run, if any.
std::string SummaryText(const Timeline& timeline, int64_t fromMs, int64_t toMs,
                        const LocalZone& zone);

}  // namespace zelkctl
