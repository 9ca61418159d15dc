#include "zelkctl/timeline_style.h"

#include <algorithm>
#include <map>

#include "zelkctl/event_text.h"

namespace zelkctl {

namespace {

// In the order of Shade.
constexpr ShadeStyle kShadeStyles[kShadeCount] = {
    {"no information", "nothing known", "", ' '},
    {"connected", "data arrives", "#009E73", '='},                              // bluish green
    {"connecting", "a new connection, no data on it yet", "#56B4E9", '-'},      // sky blue
    {"silent", "connected, waiting without data", "#F0E442", '~'},              // yellow
    {"failing", "reads fail: the application closed its end", "#E69F00", '!'},  // orange
    {"down", "terminated, until the next connection", "#D55E00",
     'X'},  // vermillion, striped dark in the SVG
    {"not watched", "the watchdog thread did not start", "#CC79A7", '?'},  // reddish purple
    {"daemon off", "the daemon did not run", "#999999", '.'},  // grey, hatched in the SVG
    {"maintenance", "paused by an operator: no action taken on it (hover: who and why)", "#BBBBBB",
     '/'},  // light grey; in the SVG dark stripes over the state, framed
};

// In the order of MarkerKind.
constexpr MarkerStyle kMarkerStyles[kMarkerKindCount] = {
    // Only a termination that began a restart is marked: the second one of a
    // silent cycle, which finds the application down already, is not.
    {"restart", "the daemon terminated the application to launch it again", "#000000", 'R'},
    {"launched", "the daemon launched the application (hollow: the launch failed)", "#0072B2", 'L'},
    // Too frequent for a cell of its own: counted at the row's end.
    {"train", "a train passed and was reported", "#000000", 0},
    {"train with result-file mismatch",
     "the train's pictures and XML files did not match: the uninstall command follows", "#D55E00",
     'M'},
    {"uninstall command", "the sub-application's uninstall command ran (dashed: not taken)",
     "#000000", 'U'},
    {"install command", "the sub-application's install command ran (dashed: not taken)", "#000000",
     'I'},
    {"evidence",
     "a dump of the application's processes kept before its termination (dashed: none made)",
     "#000000", 'E'},
};

// Precedence of the shades that show in a cell however briefly they lasted.
constexpr Shade kUrgent[] = {Shade::kDown, Shade::kFailing, Shade::kNotWatched, Shade::kDaemonOff};

}  // namespace

const ShadeStyle& StyleOf(Shade shade) {
    return kShadeStyles[static_cast<int>(shade)];
}

Shade ShadeOf(LaneState state) {
    switch (state) {
        case LaneState::kConnected:
            return Shade::kConnected;
        case LaneState::kConnecting:
            return Shade::kConnecting;
        case LaneState::kSilent:
            return Shade::kSilent;
        case LaneState::kFailing:
            return Shade::kFailing;
        case LaneState::kDown:
            return Shade::kDown;
        case LaneState::kNotWatched:
            return Shade::kNotWatched;
        case LaneState::kNone:
            break;
    }
    return Shade::kNone;
}

std::vector<Shade> LegendShades() {
    return {Shade::kConnected, Shade::kConnecting, Shade::kSilent,    Shade::kFailing,
            Shade::kDown,      Shade::kNotWatched, Shade::kDaemonOff, Shade::kMaintenance};
}

const MarkerStyle& StyleOf(MarkerKind kind) {
    return kMarkerStyles[static_cast<int>(kind)];
}

std::vector<std::string> LaneLabels(const Timeline& timeline) {
    std::map<std::string, int> lanesNamed;
    for (const Lane& lane : timeline.lanes) {
        ++lanesNamed[lane.name];
    }
    std::vector<std::string> labels;
    for (const Lane& lane : timeline.lanes) {
        const bool shared = lanesNamed[lane.name] > 1;
        std::string label = Printable(lane.name);
        if (shared && lane.index >= 0) {
            label += " (app " + std::to_string(lane.index + 1) + ")";
        }
        labels.push_back(label);
    }
    return labels;
}

namespace {

// The time of each shade in each of `count` equal cells of [startMs, endMs),
// kShadeCount entries a cell; empty when there is no cell.
std::vector<int64_t> CellTimes(const Lane& lane, const std::vector<Span>& daemonOff,
                               int64_t startMs, int64_t endMs, int count) {
    const int64_t length = endMs - startMs;
    if (count <= 0 || length <= 0) {
        return {};
    }
    const auto boundary = [&](int64_t i) { return startMs + length * i / count; };
    const auto cellOf = [&](int64_t t) {
        return std::min<int64_t>(count - 1, std::max<int64_t>(0, (t - startMs) * count / length));
    };
    std::vector<int64_t> time(static_cast<std::size_t>(count) * kShadeCount, 0);
    const auto add = [&](const Span& span, Shade shade) {
        const int64_t from = std::max(span.startMs, startMs);
        const int64_t to = std::min(span.endMs, endMs);
        if (from >= to) {
            return;
        }
        for (int64_t cell = cellOf(from); cell <= cellOf(to - 1); ++cell) {
            const int64_t overlap =
                std::min(to, boundary(cell + 1)) - std::max(from, boundary(cell));
            time[static_cast<std::size_t>(cell) * kShadeCount + static_cast<int>(shade)] +=
                std::max<int64_t>(overlap, 1);
        }
    };
    for (const Span& span : lane.spans) {
        add(span, ShadeOf(span.state));
    }
    for (const Span& span : daemonOff) {
        add(span, Shade::kDaemonOff);
    }
    for (const Maintenance& m : lane.maintenance) {
        add(Span{m.startMs, m.endMs, LaneState::kNone}, Shade::kMaintenance);
    }
    return time;
}

// The application's states, the most urgent first: a tie goes to it.
constexpr Shade kByUrgency[] = {Shade::kDown,   Shade::kFailing,    Shade::kNotWatched,
                                Shade::kSilent, Shade::kConnecting, Shade::kConnected};

}  // namespace

std::vector<Shade> CellShades(const Lane& lane, const std::vector<Span>& daemonOff, int64_t startMs,
                              int64_t endMs, int count) {
    std::vector<Shade> shades(static_cast<std::size_t>(std::max(count, 0)), Shade::kNone);
    const std::vector<int64_t> time = CellTimes(lane, daemonOff, startMs, endMs, count);
    for (std::size_t cell = 0; cell < time.size() / kShadeCount; ++cell) {
        const int64_t* t = &time[cell * kShadeCount];
        Shade chosen = Shade::kNone;
        for (const Shade urgent : kUrgent) {
            if (t[static_cast<int>(urgent)] > 0) {
                chosen = urgent;
                break;
            }
        }
        if (chosen == Shade::kNone) {
            int64_t longest = 0;
            for (const Shade shade : {Shade::kConnected, Shade::kConnecting, Shade::kSilent}) {
                if (t[static_cast<int>(shade)] > longest) {
                    longest = t[static_cast<int>(shade)];
                    chosen = shade;
                }
            }
        }
        shades[cell] = chosen;
    }
    return shades;
}

std::vector<Shade> DominantCellShades(const Lane& lane, const std::vector<Span>& daemonOff,
                                      int64_t startMs, int64_t endMs, int count) {
    std::vector<Shade> shades(static_cast<std::size_t>(std::max(count, 0)), Shade::kNone);
    const std::vector<int64_t> time = CellTimes(lane, daemonOff, startMs, endMs, count);
    for (std::size_t cell = 0; cell < time.size() / kShadeCount; ++cell) {
        const int64_t* t = &time[cell * kShadeCount];
        int64_t running = 0, longest = 0;
        Shade chosen = Shade::kNone;
        for (const Shade shade : kByUrgency) {
            running += t[static_cast<int>(shade)];
            if (t[static_cast<int>(shade)] > longest) {
                longest = t[static_cast<int>(shade)];
                chosen = shade;
            }
        }
        const int64_t paused = t[static_cast<int>(Shade::kMaintenance)];
        if (paused > 0 && 2 * paused >= running) {
            chosen = Shade::kMaintenance;
        }
        // Off only where the daemon was off for longer than it ran.
        if (t[static_cast<int>(Shade::kDaemonOff)] > running) {
            chosen = Shade::kDaemonOff;
        }
        shades[cell] = chosen;
    }
    return shades;
}

}  // namespace zelkctl
