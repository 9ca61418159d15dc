// A day's timeline drawn for a terminal: one row per application, one
// character per 15 minutes, an hour ruler above and a legend below.
#pragma once

#include <string>

#include "zelkctl/journal_time.h"
#include "zelkctl/timeline_spans.h"

namespace zelkctl {

// What one character of a row stands for.
constexpr int64_t kTextCellMs = 15 * kMsPerMinute;

// The drawing of `timeline` over `day` for the station `station`. With
// `colour`, each cell also takes its state's colour as background (24-bit
// escape sequences); without, plain text. A cell where the daemon
// terminated, launched, ran a command or met a mismatch shows that
// marker's letter instead of the state's glyph (mismatch first, then
// termination, launch, uninstall, install).
std::string TextTimeline(const Timeline& timeline, const DayWindow& day, const std::string& station,
                         bool colour);

}  // namespace zelkctl
