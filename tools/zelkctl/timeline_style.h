// How the timeline shows states and markers: one palette, one glyph and one
// label per meaning, for the terminal and the SVG alike. The colours are
// the Okabe-Ito set, which colour-blind readers tell apart; the glyph or
// the label says the same again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zelkctl/timeline_spans.h"

namespace zelkctl {

// What one stretch of a lane shows: an application's state, or the daemon
// not running.
enum class Shade : uint8_t {
    kNone,
    kConnected,
    kConnecting,
    kSilent,
    kFailing,
    kDown,
    kNotWatched,
    kDaemonOff,
    // Over the application's state: an operator had paused it.
    kMaintenance,
};
constexpr int kShadeCount = 9;

struct ShadeStyle {
    const char* label;    // legend text
    const char* meaning;  // the legend's hover text
    const char* colour;   // "#RRGGBB"; empty for kNone
    char glyph;           // the terminal's character
};
const ShadeStyle& StyleOf(Shade shade);
Shade ShadeOf(LaneState state);
// The shades of the legend, in its order (kNone left out).
std::vector<Shade> LegendShades();

struct MarkerStyle {
    const char* label;
    const char* meaning;
    const char* colour;
    char glyph;  // the terminal's letter; 0: not drawn in the terminal
};
const MarkerStyle& StyleOf(MarkerKind kind);

// The label of each lane of `timeline`, in its order: the application's
// name made printable, with " (app N)" after names that two lanes share.
std::vector<std::string> LaneLabels(const Timeline& timeline);

// The shade of each of `count` equal cells of [startMs, endMs) for `lane`,
// with `daemonOff` drawn over it. A cell shows down, failing, not watched or
// daemon off whenever any of them happened in it (in that order of
// precedence), so that no outage disappears in a wide cell; otherwise the
// state that lasted longest in it.
std::vector<Shade> CellShades(const Lane& lane, const std::vector<Span>& daemonOff, int64_t startMs,
                              int64_t endMs, int count);
// The same cells as the terminal shows them, each a quarter of an hour or
// so: the state that lasted longest in it (the more urgent on a tie),
// maintenance where the application was paused for at least half the time
// the daemon ran, and daemon off only where the daemon was off for longer
// than it ran.
std::vector<Shade> DominantCellShades(const Lane& lane, const std::vector<Span>& daemonOff,
                                      int64_t startMs, int64_t endMs, int count);

}  // namespace zelkctl
