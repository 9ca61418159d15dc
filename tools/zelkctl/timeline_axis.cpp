#include "zelkctl/timeline_axis.h"

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

}  // namespace zelkctl
