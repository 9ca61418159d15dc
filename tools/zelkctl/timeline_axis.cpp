#include "zelkctl/timeline_axis.h"

#include <algorithm>

namespace zelkctl {

namespace {

// Round steps, each a divisor of an hour.
constexpr int kTickStepsMinutes[] = {1, 2, 5, 10, 15, 30};

}  // namespace

int TickStepMinutes(int64_t lengthMs) {
    for (const int step : kTickStepsMinutes) {
        if (lengthMs <= int64_t{kMaxClockTicks} * step * kMsPerMinute) {
            return step;
        }
    }
    return 60;
}

TimeAxis MakeTimeAxis(const LocalZone& zone, const DayWindow& window) {
    TimeAxis axis;
    axis.stepMinutes = TickStepMinutes(window.endMs - window.startMs);
    axis.marks = ClockMarks(zone, window.startMs, window.endMs, axis.stepMinutes);
    return axis;
}

std::string MarkLabel(const TimeAxis& axis, const ClockMark& mark) {
    const std::string text = ClockTimeText(mark.hour * 60 + mark.minute);
    return axis.stepMinutes >= 60 ? text.substr(0, 2) : text;
}

std::string TimelineTitle(const DayWindow& window, const LocalZone& zone,
                          const std::string& station) {
    std::string title =
        "Station " + station + ", " + WeekdayName(window.day) + " " + DateText(window.day);
    if (window.WholeDay()) {
        return title;
    }
    const DayWindow day = MakeDayWindow(zone, window.day);
    const auto offsetAt = [&](int64_t ms) { return zone.OffsetMinutesAt(ms / kMsPerSecond); };
    const bool clocksChange = offsetAt(day.startMs) != offsetAt(day.endMs - 1);
    const auto end = [&](int minute, int64_t ms) {
        return ClockTimeText(minute) +
               (clocksChange ? " (UTC" + OffsetText(offsetAt(ms)) + ")" : std::string());
    };
    return title + ", " + end(window.fromMinute, window.startMs) + " to " +
           end(window.toMinute, window.endMs - 1);
}

bool TimelineRange(const Timeline& timeline, int64_t* firstMs, int64_t* lastMs) {
    bool any = false;
    const auto take = [&](int64_t from, int64_t to) {
        *firstMs = any ? std::min(*firstMs, from) : from;
        *lastMs = any ? std::max(*lastMs, to) : to;
        any = true;
    };
    for (const Lane& lane : timeline.lanes) {
        for (const Span& span : lane.spans) {
            take(span.startMs, span.endMs);
        }
        for (const Marker& marker : lane.markers) {
            take(marker.timeMs, marker.timeMs + 1);
        }
    }
    for (const Span& span : timeline.daemonOff) {
        take(span.startMs, span.endMs);
    }
    return any;
}

DayWindow ZoomedWindow(const LocalZone& zone, const DayWindow& day, int64_t firstMs,
                       int64_t lastMs) {
    // Minutes after the day's local midnight.
    const auto minuteOf = [&](int64_t ms) {
        const int64_t local = ms / kMsPerSecond + zone.OffsetMinutesAt(ms / kMsPerSecond) * 60;
        return local / 60 - day.day * kMinutesPerDay;
    };
    const int step = TickStepMinutes(lastMs - firstMs);
    int64_t from = minuteOf(firstMs) / step * step;
    int64_t to = (minuteOf(lastMs - 1) / step + 1) * step;
    from = std::max<int64_t>(from, day.fromMinute);
    to = std::min<int64_t>(std::max(to, from + step), day.toMinute);
    return MakeDayWindow(zone, day.day, static_cast<int>(from), static_cast<int>(to));
}

}  // namespace zelkctl
