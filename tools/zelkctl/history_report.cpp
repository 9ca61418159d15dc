#include "zelkctl/history_report.h"

#include <algorithm>

#include "zelkctl/event_text.h"
#include "zelkctl/journal_reader.h"
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

std::string AppColumn(const Event& event) {
    return event.app.empty() ? std::string("-") : Printable(event.app);
}

}  // namespace

bool Matches(const HistoryQuery& query, const Event& event) {
    if (event.timeMs < query.sinceMs || event.timeMs >= query.untilMs) {
        return false;
    }
    if (!query.kinds.empty() && !Contains(query.kinds, event.kindName)) {
        return false;
    }
    return query.apps.empty() || !IsAppKind(event.kind) || Contains(query.apps, event.app);
}

HistoryReport::HistoryReport(const HistoryQuery& query)
    : query_(query), builder_(query.sinceMs, query.untilMs, false) {}

std::string HistoryReport::Row(const Event& event) const {
    std::string row = Padded(LocalDateTimeText(event.timeMs, event.offsetMinutes), kTimeColumns) +
                      "  " + Padded(AppColumn(event), appWidth_) + "  " +
                      Padded(Printable(event.kindName), kEventColumns);
    const std::string details = EventDetails(event);
    if (!details.empty()) {
        row += "  " + details;
    }
    row.erase(row.find_last_not_of(' ') + 1);
    return row + "\n";
}

std::string HistoryReport::AddFile(const std::vector<Event>& events,
                                   const std::vector<std::string_view>& lines) {
    const std::vector<std::size_t> order = TimeOrder(events);
    if (!query_.json) {
        for (const std::size_t i : order) {
            if (Matches(query_, events[i])) {
                appWidth_ = std::max(appWidth_, DisplayWidth(AppColumn(events[i])));
            }
        }
    }
    std::string out;
    for (const std::size_t i : order) {
        const Event& event = events[i];
        builder_.Add(event);
        if (!anyEvent_) {
            anyEvent_ = true;
            firstMs_ = event.timeMs;
            firstOffset_ = event.offsetMinutes;
        }
        lastOffset_ = event.offsetMinutes;
        if (!Matches(query_, event)) {
            continue;
        }
        ++shown_;
        if (query_.json) {
            out.append(i < lines.size() ? lines[i] : std::string_view());
            out += '\n';
            continue;
        }
        if (!headerShown_) {
            out += Padded("TIME", kTimeColumns) + "  " + Padded("APP", appWidth_) + "  " +
                   Padded("EVENT", kEventColumns) + "  DETAILS\n";
            headerShown_ = true;
        }
        out += Row(event);
    }
    return out;
}

std::string HistoryReport::Finish(int64_t endMs) {
    if (query_.json) {
        return std::string();
    }
    const int64_t end = std::min(query_.untilMs, endMs);
    Timeline timeline = builder_.Finish(end);
    if (!query_.apps.empty()) {
        timeline.lanes.erase(
            std::remove_if(timeline.lanes.begin(), timeline.lanes.end(),
                           [&](const Lane& lane) { return !Contains(query_.apps, lane.name); }),
            timeline.lanes.end());
    }
    std::string out = shown_ == 0 ? "No events in the journal for this choice.\n" : "";
    const int64_t from = query_.sinceMs != INT64_MIN ? query_.sinceMs : firstMs_;
    if (anyEvent_ && end > from) {
        out += "\n" + SummaryText(timeline, from, end, firstOffset_, lastOffset_);
    }
    return out;
}

std::string SummaryText(const Timeline& timeline, int64_t fromMs, int64_t toMs, int fromOffset,
                        int toOffset) {
    std::string out = "Summary from " + LocalDateTimeText(fromMs, fromOffset).substr(0, 16) +
                      " to " + LocalDateTimeText(toMs, toOffset).substr(0, 16) + " (" +
                      DurationText(toMs - fromMs) + "):\n";
    if (timeline.lanes.empty()) {
        out += "no application in this range\n";
    } else {
        TextTable table({"APP", "CONNECTED", "CONNECTING", "SILENT", "FAILING", "DOWN",
                         "TERMINATED", "LAUNCHED", "TRAINS", "MISMATCHES"});
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
