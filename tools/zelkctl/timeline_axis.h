// The time axis of a timeline and the title that names its window: hour
// marks for a long window, ticks at a round step with "HH:MM" labels for a
// short one, for the terminal and the SVG alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zelkctl/journal_time.h"
#include "zelkctl/timeline_spans.h"

namespace zelkctl {

// At most this many "HH:MM" labels: with a blank between them they fill the
// terminal's 96 characters.
constexpr int kMaxClockTicks = 16;

// The minutes between two ticks of a window `lengthMs` long: the smallest
// of 1, 2, 5, 10, 15 and 30 that gives at most kMaxClockTicks ticks, or 60
// (hour marks) for a window longer than that.
int TickStepMinutes(int64_t lengthMs);

struct TimeAxis {
    int stepMinutes = 60;          // 60: hour marks, labelled "HH"
    std::vector<ClockMark> marks;  // within the window, in time order
};
TimeAxis MakeTimeAxis(const LocalZone& zone, const DayWindow& window);

// "07" for an hour mark, "07:15" for a tick.
std::string MarkLabel(const TimeAxis& axis, const ClockMark& mark);

// "Station NAME, Wednesday 2026-12-09", and for a window ", 03:00 to
// 04:00"; on a day the clocks change, each end of the window says its UTC
// offset, so that a window within the repeated hour reads as the pass it
// is. `station` as given: the caller makes it printable.
std::string TimelineTitle(const DayWindow& window, const LocalZone& zone,
                          const std::string& station);

// A day whose journal holds less than this is drawn over what it holds.
constexpr int64_t kZoomBelowMs = 12 * kMsPerHour;

// The first and last moments `timeline` shows anything (a state, a
// marker, the daemon off); false when it shows nothing.
bool TimelineRange(const Timeline& timeline, int64_t* firstMs, int64_t* lastMs);

// The window of `day` (a whole day) from `firstMs` to `lastMs`, widened to
// whole ticks of its axis and kept within the day.
DayWindow ZoomedWindow(const LocalZone& zone, const DayWindow& day, int64_t firstMs,
                       int64_t lastMs);

}  // namespace zelkctl
