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

}  // namespace zelkctl
