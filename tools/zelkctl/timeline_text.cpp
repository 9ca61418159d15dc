#include "zelkctl/timeline_text.h"

#include <algorithm>
#include <cstdio>

#include "zelkctl/event_text.h"
#include "zelkctl/timeline_axis.h"
#include "zelkctl/timeline_style.h"

namespace zelkctl {

namespace {

// Names longer than this are cut, so that a row stays within about 140
// columns: the name, 96 cells and the counts.
constexpr std::size_t kMaxNameColumns = 24;

// Which marker a cell shows when several happened in it.
// Evidence goes before the restart it precedes, which the counts still tell.
constexpr MarkerKind kMarkerPrecedence[] = {MarkerKind::kMismatch,    MarkerKind::kEvidence,
                                            MarkerKind::kTermination, MarkerKind::kLaunch,
                                            MarkerKind::kUninstall,   MarkerKind::kInstall};

// `text` cut or padded with blanks to `width` characters.
std::string Fit(const std::string& text, std::size_t width) {
    std::string out;
    std::size_t shown = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool starts = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (starts && shown == width - 1 && DisplayWidth(text.substr(i)) > 1) {
            out += "\xE2\x80\xA6";  // an ellipsis for the rest
            ++shown;
            break;
        }
        if (starts && shown == width) {
            break;
        }
        out += text[i];
        shown += starts ? 1 : 0;
    }
    return out + std::string(width > shown ? width - shown : 0, ' ');
}

// The escape sequence that paints `colour` ("#RRGGBB") as background, with
// black characters.
std::string Paint(const char* colour) {
    unsigned r = 0, g = 0, b = 0;
    if (std::sscanf(colour, "#%02x%02x%02x", &r, &g, &b) != 3) {
        return std::string();
    }
    char text[48];
    std::snprintf(text, sizeof text, "\x1b[48;2;%u;%u;%um\x1b[30m", r, g, b);
    return text;
}

const char* const kReset = "\x1b[0m";

// One glyph with its colour (when there is colour).
std::string Glyph(char glyph, const char* colour, bool useColour, bool bold) {
    if (!useColour || colour[0] == '\0') {
        return std::string(1, glyph);
    }
    return Paint(colour) + (bold ? "\x1b[1m" : "") + glyph + kReset;
}

std::string Counts(const Lane& lane) {
    std::string text;
    for (const MarkerKind kind :
         {MarkerKind::kTermination, MarkerKind::kLaunch, MarkerKind::kMismatch,
          MarkerKind::kUninstall, MarkerKind::kInstall, MarkerKind::kEvidence}) {
        const int n = lane.markerCounts[static_cast<int>(kind)];
        if (n > 0) {
            text +=
                (text.empty() ? "" : " ") + std::string(1, StyleOf(kind).glyph) + std::to_string(n);
        }
    }
    const int trains = lane.markerCounts[static_cast<int>(MarkerKind::kTrain)];
    if (trains > 0) {
        text += (text.empty() ? "" : ", ") + std::to_string(trains) +
                (trains == 1 ? " train" : " trains");
    }
    return text;
}

}  // namespace

std::string CellDurationText(int64_t cellMs) {
    const auto count = [](int64_t n, const char* unit) {
        return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
    };
    const int64_t minutes = cellMs / kMsPerMinute;
    const int64_t ms = cellMs % kMsPerMinute;
    std::string text = minutes > 0 ? count(minutes, "minute") : std::string();
    if (ms == 0 && minutes > 0) {
        return text;
    }
    // Seconds with as many decimals as they need, at most three.
    std::string seconds = std::to_string(ms / kMsPerSecond);
    if (ms % kMsPerSecond != 0) {
        char fraction[8];
        std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(ms % kMsPerSecond));
        seconds += fraction;
        seconds.erase(seconds.find_last_not_of('0') + 1);
    }
    return text + (text.empty() ? "" : " ") + seconds + (seconds == "1" ? " second" : " seconds");
}

namespace {

// The characters of a drawing: how many, how long each lasts, and the
// stretch from the window's start they cover (a whole day: whole cells of
// 15 minutes, as near its length as they come).
struct CellLayout {
    int cells;
    int64_t cellMs;
    int64_t lengthMs;
};

CellLayout LayoutOf(const DayWindow& window) {
    const int64_t span = std::max<int64_t>(window.endMs - window.startMs, kMsPerSecond);
    if (!window.WholeDay()) {
        return {kTextWindowCells, span / kTextWindowCells, span};
    }
    const int cells =
        static_cast<int>(std::max<int64_t>((span + kTextCellMs / 2) / kTextCellMs, 1));
    return {cells, kTextCellMs, cells * kTextCellMs};
}

// The character of `layout` that holds `utcMs`, an instant within it.
std::size_t CellOf(const DayWindow& window, const CellLayout& layout, int64_t utcMs) {
    return static_cast<std::size_t>((utcMs - window.startMs) * layout.cells / layout.lengthMs);
}

// The ruler: each mark's label where the character holding it begins, with
// a blank before the next.
std::string Ruler(const LocalZone& zone, const DayWindow& window, const CellLayout& layout) {
    const TimeAxis axis = MakeTimeAxis(zone, window);
    std::string ruler(static_cast<std::size_t>(layout.cells), ' ');
    std::size_t free = 0;
    for (const ClockMark& mark : axis.marks) {
        const std::string label = MarkLabel(axis, mark);
        const std::size_t column = CellOf(window, layout, mark.utcMs);
        if (column < free || column + label.size() > ruler.size()) {
            continue;
        }
        ruler.replace(column, label.size(), label);
        free = column + label.size() + 1;
    }
    ruler.erase(ruler.find_last_not_of(' ') + 1);
    return ruler;
}

// The place of `kind` in kMarkerPrecedence; -1 (no marker) after every one.
int Rank(int kind) {
    return kind < 0 ? 99
                    : static_cast<int>(std::find(std::begin(kMarkerPrecedence),
                                                 std::end(kMarkerPrecedence),
                                                 static_cast<MarkerKind>(kind)) -
                                       std::begin(kMarkerPrecedence));
}

// What a character of a lane shows of its markers: the letter of the kind
// that comes first by precedence, or, when several of that kind fell in it
// (restarts, mostly), their count ('+': more than 9), so that a storm reads
// as how dense it was; 0 for none.
struct CellMarks {
    int first = -1;
    int count = 0;  // markers of that kind
    char Glyph() const {
        if (count <= 1) {
            return count == 0 ? 0 : StyleOf(static_cast<MarkerKind>(first)).glyph;
        }
        return count > 9 ? '+' : static_cast<char>('0' + count);
    }
};

std::vector<CellMarks> CellMarkers(const Lane& lane, const DayWindow& window,
                                   const CellLayout& layout) {
    std::vector<CellMarks> marks(static_cast<std::size_t>(layout.cells));
    for (const Marker& m : lane.markers) {
        if (m.timeMs < window.startMs || m.timeMs >= window.startMs + layout.lengthMs ||
            StyleOf(m.kind).glyph == 0) {
            continue;
        }
        CellMarks& cell = marks[CellOf(window, layout, m.timeMs)];
        if (Rank(static_cast<int>(m.kind)) < Rank(cell.first)) {
            cell.first = static_cast<int>(m.kind);
            cell.count = 0;
        }
        cell.count += cell.first == static_cast<int>(m.kind) ? 1 : 0;
    }
    return marks;
}

// One lane's row: its label, its characters and its counts.
std::string LaneRow(const Lane& lane, const std::string& label, const Timeline& timeline,
                    const DayWindow& window, const CellLayout& layout, std::size_t nameWidth,
                    bool colour) {
    const std::vector<Shade> shades = DominantCellShades(
        lane, timeline.daemonOff, window.startMs, window.startMs + layout.lengthMs, layout.cells);
    const std::vector<CellMarks> marks = CellMarkers(lane, window, layout);
    std::string row = Fit(label, nameWidth) + " ";
    for (std::size_t c = 0; c < shades.size(); ++c) {
        const ShadeStyle& style = StyleOf(shades[c]);
        const char mark = marks[c].Glyph();
        row += Glyph(mark != 0 ? mark : style.glyph, style.colour, colour, mark != 0);
    }
    const std::string counts = Counts(lane);
    if (!counts.empty()) {
        row += "  " + counts;
    }
    row.erase(row.find_last_not_of(' ') + 1);
    return row + "\n";
}

// The legend: the shades, the markers, and how long one character lasts.
std::string Legend(bool colour, int64_t cellMs) {
    std::string legend;
    for (const Shade shade : LegendShades()) {
        const ShadeStyle& style = StyleOf(shade);
        legend += Glyph(style.glyph, style.colour, colour, false) + " " + style.label + "  ";
    }
    std::string out = legend.substr(0, legend.size() - 2) + "\n";
    std::string markers;
    for (const MarkerKind kind : kMarkerPrecedence) {
        markers += std::string(1, StyleOf(kind).glyph) + " " + StyleOf(kind).label + "  ";
    }
    out += markers + "(a letter takes its cell; 2-9: that many of the first, +: more)\n";
    return out + "One character: " + CellDurationText(cellMs) + "\n";
}

}  // namespace

std::string TextTimeline(const Timeline& timeline, const DayWindow& window, const LocalZone& zone,
                         const std::string& station, bool colour) {
    const CellLayout layout = LayoutOf(window);
    const std::vector<std::string> labels = LaneLabels(timeline);
    std::size_t nameWidth = 3;
    for (const std::string& label : labels) {
        nameWidth = std::max(nameWidth, std::min(DisplayWidth(label), kMaxNameColumns));
    }
    std::string out = Printable(TimelineTitle(window, zone, station)) + "\n";
    out += std::string(nameWidth + 1, ' ') + Ruler(zone, window, layout) + "\n";
    if (timeline.lanes.empty()) {
        out += window.WholeDay() ? "(no application in the journal for this day)\n"
                                 : "(no application in the journal for this window)\n";
    }
    for (std::size_t l = 0; l < timeline.lanes.size(); ++l) {
        out += LaneRow(timeline.lanes[l], labels[l], timeline, window, layout, nameWidth, colour);
    }
    return out + "\n" + Legend(colour, layout.cellMs);
}

}  // namespace zelkctl
