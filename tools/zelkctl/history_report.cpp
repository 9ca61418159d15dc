#include "zelkctl/history_report.h"

#include <algorithm>

#include "zelkctl/event_text.h"
#include "zelkctl/journal_time.h"
#include "zelkctl/text_table.h"
#include "zelkctl/timeline_style.h"

namespace zelkctl {

namespace {

// "2026-12-09 03:14:15+01:00"
constexpr std::size_t kTimeColumns = 25;
// The longest kind's name, thread_not_started.
constexpr std::size_t kEventColumns = 18;

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

std::string Padded(std::string text, std::size_t width) {
    const std::size_t shown = DisplayWidth(text);
    return text.append(width > shown ? width - shown : 0, ' ');
}

// Whether `event` concerns one application: its own events, and the control
// requests that name one.
bool AboutApp(const journal::Event& event) {
    return journal::IsAppKind(event.kind) ||
           (event.kind == journal::EventKind::kControl && !event.app.empty());
}

}  // namespace

bool Matches(const HistoryQuery& query, const journal::Event& event) {
    if (event.time.ms < query.sinceMs || event.time.ms >= query.untilMs) {
        return false;
    }
    if (!query.kinds.empty() && !Contains(query.kinds, event.kindName)) {
        return false;
    }
    return query.apps.empty() || !AboutApp(event) || Contains(query.apps, event.app);
}

HistoryReport::HistoryReport(const HistoryQuery& query, const LocalZone& zone)
    : query_(query), zone_(zone), builder_(query.sinceMs, query.untilMs, false) {
    std::unordered_set<std::string> asked(query.apps.begin(), query.apps.end());
    unmet_ = asked.size();
}

void HistoryReport::Meet(const journal::Event& event) {
    if (query_.apps.empty() || !AboutApp(event) || event.app.empty() ||
        !metNames_.insert(event.app).second) {
        return;
    }
    appsMet_.push_back(event.app);
    if (Contains(query_.apps, event.app)) {
        --unmet_;
    }
}

void HistoryReport::Add(const journal::Event& event, std::string_view line) {
    Meet(event);
    builder_.Add(event);
    if (!anyEvent_) {
        anyEvent_ = true;
        firstMs_ = event.time.ms;
    }
    lastMs_ = std::max(lastMs_, event.time.ms);
    AddRow(event, line, false);
}

void HistoryReport::AddSuspect(const journal::Event& event, std::string_view line) {
    Meet(event);
    AddRow(event, line, true);
}

void HistoryReport::AddRow(const journal::Event& event, std::string_view line, bool suspect) {
    if (!Matches(query_, event)) {
        return;
    }
    ++shown_;
    if (query_.json) {
        AppendJsonForTerminal(&pendingLines_, line);
        pendingLines_ += '\n';
        return;
    }
    PendingRow row{event.time.ms, event.time.offsetMinutes, pendingText_.size(), 0, 0};
    if (event.app.empty()) {
        pendingText_ += '-';
    } else {
        AppendPrintable(&pendingText_, event.app);
    }
    row.appEnd = pendingText_.size();
    // A known kind's name is plain ASCII; another's is made printable.
    AppendPrintable(&pendingText_, event.kindName);
    const std::size_t kindEnd = pendingText_.size();
    const std::size_t kindWidth = DisplayWidth(std::string_view(pendingText_).substr(row.appEnd));
    pendingText_.append(kEventColumns > kindWidth ? kEventColumns - kindWidth : 0, ' ');
    pendingText_ += "  ";
    const std::size_t detailsStart = pendingText_.size();
    AppendEventDetails(&pendingText_, event);
    if (suspect) {
        pendingText_ += pendingText_.size() == detailsStart ? "" : "; ";
        pendingText_ += "time suspect: more than a day after the day of its file";
    }
    if (pendingText_.size() == detailsStart) {
        // No details: no padding at the end of the row.
        pendingText_.resize(kindEnd);
    }
    row.tailEnd = pendingText_.size();
    pending_.push_back(row);
}

std::string HistoryReport::TakeOutput() {
    std::string out;
    out.swap(pendingLines_);
    if (pending_.empty()) {
        return out;
    }
    const std::string_view text = pendingText_;
    for (const PendingRow& row : pending_) {
        appWidth_ =
            std::max(appWidth_, DisplayWidth(text.substr(row.appStart, row.appEnd - row.appStart)));
    }
    if (!headerShown_) {
        out += Padded("TIME", kTimeColumns) + "  " + Padded("APP", appWidth_) + "  " +
               Padded("EVENT", kEventColumns) + "  DETAILS\n";
        headerShown_ = true;
    }
    out.reserve(out.size() + pending_.size() * (kTimeColumns + appWidth_ + 6) + text.size());
    for (const PendingRow& row : pending_) {
        const std::string_view app = text.substr(row.appStart, row.appEnd - row.appStart);
        AppendLocalDateTime(&out, row.timeMs, row.offsetMinutes);
        out += "  ";
        out += app;
        out.append(appWidth_ - DisplayWidth(app) + 2, ' ');
        out += text.substr(row.appEnd, row.tailEnd - row.appEnd);
        out += '\n';
    }
    pending_.clear();
    pendingText_.clear();
    return out;
}

std::string HistoryReport::Finish(int64_t endMs) {
    std::string out = TakeOutput();
    if (query_.json) {
        return out;
    }
    const int64_t end = std::min(query_.untilMs, std::max(endMs, lastMs_));
    Timeline timeline = builder_.Finish(end);
    if (!query_.apps.empty()) {
        timeline.lanes.erase(
            std::remove_if(timeline.lanes.begin(), timeline.lanes.end(),
                           [&](const Lane& lane) { return !Contains(query_.apps, lane.name); }),
            timeline.lanes.end());
    }
    if (shown_ == 0) {
        out += "No events in the journal for this choice.\n";
    }
    const int64_t from = query_.sinceMs != INT64_MIN ? query_.sinceMs : firstMs_;
    if (anyEvent_ && end > from) {
        out += "\n" + SummaryText(timeline, from, end, zone_);
    }
    return out;
}

namespace {

// "sim_silent in maintenance from 2026-12-10 09:00 to 09:03 (3m) by root:
// firmware update", a line for each stretch of the lane's.
template <typename Local>
std::string MaintenanceText(const std::string& label, const Lane& lane, const Local& local) {
    std::string out;
    for (const Maintenance& m : lane.maintenance) {
        out += label + " in maintenance from " + local(m.startMs) + " to " +
               (m.open ? "the end, still paused" : local(m.endMs)) + " (" +
               DurationText(m.endMs - m.startMs) + ")";
        if (!m.by.empty()) {
            out += " by " + Printable(m.by);
        }
        if (!m.reason.empty()) {
            out += ": " + Printable(m.reason);
        }
        out += "\n";
    }
    return out;
}

}  // namespace

std::string SummaryText(const Timeline& timeline, int64_t fromMs, int64_t toMs,
                        const LocalZone& zone) {
    const auto local = [&zone](int64_t ms) {
        return LocalDateTimeText(ms, zone.OffsetMinutesAt(ms / kMsPerSecond)).substr(0, 16);
    };
    std::string out = "Summary from " + local(fromMs) + " to " + local(toMs) + " (" +
                      DurationText(toMs - fromMs) + "):\n";
    if (timeline.lanes.empty()) {
        out += "no application in this range\n";
    } else {
        TextTable table({"APP", "CONNECTED", "CONNECTING", "SILENT", "FAILING", "DOWN", "RESTARTS",
                         "LAUNCHED", "TRAINS", "MISMATCHES"});
        const std::vector<std::string> labels = LaneLabels(timeline);
        for (std::size_t i = 0; i < timeline.lanes.size(); ++i) {
            const Lane& lane = timeline.lanes[i];
            const auto time = [&](LaneState state) {
                return DurationText(lane.stateMs[static_cast<int>(state)]);
            };
            const auto count = [&](MarkerKind kind) {
                return std::to_string(lane.markerCounts[static_cast<int>(kind)]);
            };
            table.AddRow({labels[i], time(LaneState::kConnected), time(LaneState::kConnecting),
                          time(LaneState::kSilent), time(LaneState::kFailing),
                          time(LaneState::kDown), count(MarkerKind::kTermination),
                          count(MarkerKind::kLaunch), count(MarkerKind::kTrain),
                          count(MarkerKind::kMismatch)});
        }
        out += table.Text();
        for (std::size_t i = 0; i < timeline.lanes.size(); ++i) {
            out += MaintenanceText(labels[i], timeline.lanes[i], local);
        }
    }
    int64_t off = 0;
    for (const Span& span : timeline.daemonOff) {
        off += std::min(span.endMs, toMs) - std::max(span.startMs, fromMs);
    }
    if (off > 0) {
        out += "The daemon did not run for " + DurationText(off) + " of it.\n";
    }
    return out;
}

}  // namespace zelkctl
