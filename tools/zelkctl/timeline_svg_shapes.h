// The small pieces of the timeline's picture: its numbers as SVG writes
// them, and the glyph of each kind of marker.
#pragma once

#include <string>

#include "zelkctl/timeline_spans.h"

namespace zelkctl {

// The height of a lane's state bar, in SVG pixels.
constexpr int kBarPx = 14;

// `value` with one decimal, without ".0".
std::string Px(double value);

// The glyph of a marker of `kind` at `x`, for a lane whose bar starts at
// `barTop`: terminations and uninstalls above the bar, launches and
// installs below it, trains, mismatches and evidence on it; `failed` draws
// a launch hollow, and a command or evidence dashed.
std::string MarkerShape(MarkerKind kind, double x, int barTop, bool failed);

// The picture's patterns: the hatching of "daemon off" (grey on light
// grey), the stripes of "down" (dark across its vermillion, so that it
// differs from failing by more than a shade) and of maintenance (dark,
// half transparent, over the state they cover).
std::string PatternDefinitions();

// A stretch of maintenance from `x`, `width` wide, over a lane's bar that
// starts at `barTop`, with `title` (escaped already) as its hover text.
std::string MaintenanceShape(double x, double width, int barTop, const std::string& title);

}  // namespace zelkctl
