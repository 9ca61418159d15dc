// A day's timeline drawn for a terminal: one row per application, one
// character per 15 minutes (a window of the day: its 96th part), a ruler
// above and a legend below.
#pragma once

#include <string>

#include "zelkctl/journal_time.h"
#include "zelkctl/timeline_spans.h"

namespace zelkctl {

// What one character of a whole day's row stands for; a day the clocks
// change draws its 23 or 25 hours in 92 or 100 characters.
constexpr int64_t kTextCellMs = 15 * kMsPerMinute;
// The characters of a window's row: as many as a usual whole day's.
constexpr int kTextWindowCells = 96;

// The drawing of `timeline` over `window` for the station `station`, its
// times told in `zone`. With
// `colour`, each cell also takes its state's colour as background (24-bit
// escape sequences); without, plain text. A cell where the daemon
// terminated, launched, ran a command or met a mismatch shows that
// marker's letter instead of the state's glyph (mismatch first, then
// termination, launch, uninstall, install).
std::string TextTimeline(const Timeline& timeline, const DayWindow& window, const LocalZone& zone,
                         const std::string& station, bool colour);

// How long one character lasts, for the legend: "15 minutes", "37.5
// seconds", "1 minute 15 seconds".
std::string CellDurationText(int64_t cellMs);

}  // namespace zelkctl
