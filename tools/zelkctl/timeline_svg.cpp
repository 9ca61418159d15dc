#include "zelkctl/timeline_svg.h"

#include <algorithm>
#include <cstdio>

#include "common/xml_text.h"
#include "zelkctl/event_text.h"
#include "zelkctl/timeline_axis.h"
#include "zelkctl/timeline_style.h"
#include "zelkctl/timeline_svg_shapes.h"

namespace zelkctl {

namespace {

// Layout, in SVG pixels.
constexpr int kHourPx = 40;                // one hour of a day's axis; one pixel is 90 s
constexpr int kWindowPx = 24 * kHourPx;    // a window of the day: as wide as a whole day
constexpr int kCharPx = 7;                 // a character of the 12 px font, at most
constexpr double kLegendCharPx = 6.3;      // ... and on average, for the legend's words
constexpr std::size_t kMaxNameChars = 28;  // longer names are cut in the picture
constexpr int kTopPx = 96;                 // title, subtitle and hour labels above the lanes
// One lane, its markers within its band with a clear gap to the next's.
constexpr int kLanePx = 44;
constexpr int kBarTopPx = 15;  // the state bar within its lane (kBarPx high)
constexpr int kRightPx = 24;
constexpr int kLegendPx = 76;
// Markers of one strip whose glyphs would overlap (closer than kGlyphPx)
// are counted per bucket of this many pixels (24 minutes of a day) instead;
// trains within a bucket of the first are one dot.
constexpr int kBucketPx = 16;
constexpr int kGlyphPx = 10;
// Details listed in the hover text of a group of trains.
constexpr std::size_t kMaxGroupDetails = 6;

class Picture {
  public:
    Picture(const Timeline& timeline, const DayWindow& day, const LocalZone& zone,
            const std::string& station, int64_t nowMs)
        : timeline_(timeline),
          day_(day),
          zone_(zone),
          station_(station),
          nowMs_(nowMs),
          axis_(MakeTimeAxis(zone, day)) {
        labels_ = LaneLabels(timeline);
        std::size_t longest = 8;
        for (const std::string& label : labels_) {
            longest = std::max(longest, std::min(DisplayWidth(label), kMaxNameChars));
        }
        left_ = static_cast<int>(longest) * kCharPx + 20;
        length_ = std::max<int64_t>(day.endMs - day.startMs, kMsPerSecond);
        plot_ = day.WholeDay() ? static_cast<int>(length_ * kHourPx / kMsPerHour) : kWindowPx;
        width_ = left_ + plot_ + kRightPx;
        lanesBottom_ =
            kTopPx + static_cast<int>(std::max<std::size_t>(timeline.lanes.size(), 1)) * kLanePx;
        height_ = lanesBottom_ + kLegendPx;
    }

    std::string Svg() {
        out_.clear();
        out_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Px(width_) + "\" height=\"" +
                Px(height_) + "\" viewBox=\"0 0 " + Px(width_) + " " + Px(height_) +
                "\" font-family=\"sans-serif\" font-size=\"12\">\n";
        out_ += "<title>" + XmlText(Title()) + "</title>\n";
        Definitions();
        out_ += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
        Heading();
        Axis();
        for (std::size_t i = 0; i < timeline_.lanes.size(); ++i) {
            LaneDrawing(i);
        }
        if (timeline_.lanes.empty()) {
            out_ += "<text x=\"" + Px(left_) + "\" y=\"" + Px(kTopPx + 22) +
                    "\" fill=\"#555555\">No application in the journal for this " +
                    (day_.WholeDay() ? "day" : "window") + ".</text>\n";
        }
        Grid();
        Now();
        Legend();
        out_ += "</svg>\n";
        return out_;
    }

    std::string Title() const { return TimelineTitle(day_, zone_, station_); }

  private:
    double X(int64_t ms) const {
        return left_ +
               static_cast<double>(ms - day_.startMs) * plot_ / static_cast<double>(length_);
    }

    int OffsetAt(int64_t ms) const { return zone_.OffsetMinutesAt(ms / kMsPerSecond); }

    // Every time in the picture is told in its zone, as its axis is.
    std::string Clock(int64_t ms) const { return ShortClockText(ms, OffsetAt(ms)); }
    std::string FullClock(int64_t ms) const { return ClockText(ms, OffsetAt(ms)); }

    void Definitions() { out_ += PatternDefinitions(); }

    static std::string Fill(Shade shade) {
        return shade == Shade::kDaemonOff     ? "url(#off)"
               : shade == Shade::kDown        ? "url(#down)"
               : shade == Shade::kMaintenance ? "url(#maintenance)"
                                              : StyleOf(shade).colour;
    }

    void Heading() {
        out_ += "<text x=\"16\" y=\"28\" font-size=\"18\" font-weight=\"bold\">" +
                XmlText(Title()) + "</text>\n";
        const int offset = OffsetAt(day_.startMs);
        const int endOffset = OffsetAt(day_.endMs - 1);
        std::string zone = "UTC" + OffsetText(offset);
        if (endOffset != offset) {
            zone += ", then UTC" + OffsetText(endOffset);
        }
        out_ +=
            "<text x=\"16\" y=\"48\" fill=\"#444444\">What each application did, and what "
            "ZELK_Daemon did about it. Local time (" +
            XmlText(zone) + "). Hover a stretch or a marker for its details.</text>\n";
    }

    void Axis() {
        double lastLabel = -100;
        int offset = OffsetAt(day_.startMs);
        for (const ClockMark& mark : axis_.marks) {
            const double x = X(mark.utcMs);
            out_ += "<line x1=\"" + Px(x) + "\" y1=\"" + Px(kTopPx - 8) + "\" x2=\"" + Px(x) +
                    "\" y2=\"" + Px(kTopPx) + "\" stroke=\"#555555\"/>\n";
            const std::string label = MarkLabel(axis_, mark);
            if (x - lastLabel >= static_cast<double>(label.size()) * kCharPx + 4) {
                out_ += "<text x=\"" + Px(x) + "\" y=\"" + Px(kTopPx - 12) +
                        "\" text-anchor=\"middle\" fill=\"#333333\">" + label + "</text>\n";
                lastLabel = x;
            }
            // Where the clocks change, a note and a dashed line, so that a
            // repeated or missing hour reads as what it is.
            const int now = OffsetAt(mark.utcMs);
            if (now != offset) {
                const int change = now > offset ? now - offset : offset - now;
                const std::string note = std::string("clocks ") +
                                         (now < offset ? "back " : "forward ") +
                                         (change % 60 == 0 ? std::to_string(change / 60) + " h"
                                                           : std::to_string(change) + " min");
                out_ += "<text x=\"" + Px(x) + "\" y=\"" + Px(kTopPx - 30) +
                        "\" text-anchor=\"middle\" font-size=\"10\" fill=\"#555555\">" + note +
                        "</text><line x1=\"" + Px(x) + "\" y1=\"" + Px(kTopPx) + "\" x2=\"" +
                        Px(x) + "\" y2=\"" + Px(lanesBottom_) +
                        "\" stroke=\"#000000\" stroke-width=\"1.2\" stroke-dasharray=\"5 3\"/>\n";
                offset = now;
            }
        }
    }

    // Lines of the axis's marks over the lanes, faint enough not to hide a
    // colour.
    void Grid() {
        for (const ClockMark& mark : axis_.marks) {
            const double x = X(mark.utcMs);
            out_ += "<line x1=\"" + Px(x) + "\" y1=\"" + Px(kTopPx) + "\" x2=\"" + Px(x) +
                    "\" y2=\"" + Px(lanesBottom_) +
                    "\" stroke=\"#000000\" stroke-opacity=\"0.13\"/>\n";
        }
        out_ += "<line x1=\"" + Px(left_ + plot_) + "\" y1=\"" + Px(kTopPx) + "\" x2=\"" +
                Px(left_ + plot_) + "\" y2=\"" + Px(lanesBottom_) +
                "\" stroke=\"#000000\" stroke-opacity=\"0.13\"/>\n";
    }

    void Now() {
        if (nowMs_ <= day_.startMs || nowMs_ >= day_.endMs) {
            return;
        }
        const double x = X(nowMs_);
        const std::string label = "now " + XmlText(Clock(nowMs_));
        // Left of the line where the label would pass the picture's edge.
        const bool left = x + 3 + static_cast<double>(label.size()) * kCharPx > width_;
        out_ += "<g><title>now, " + XmlText(Clock(nowMs_)) + "</title><line x1=\"" + Px(x) +
                "\" y1=\"" + Px(kTopPx - 6) + "\" x2=\"" + Px(x) + "\" y2=\"" + Px(lanesBottom_) +
                "\" stroke=\"#000000\" stroke-width=\"1.5\" stroke-dasharray=\"4 3\"/>"
                "<text x=\"" +
                Px(left ? x - 3 : x + 3) + "\" y=\"" + Px(lanesBottom_ + 12) +
                "\" font-size=\"10\"" + (left ? " text-anchor=\"end\"" : "") + ">" + label +
                "</text></g>\n";
    }

    void LaneDrawing(std::size_t i) {
        const Lane& lane = timeline_.lanes[i];
        const int top = kTopPx + static_cast<int>(i) * kLanePx;
        const int barTop = top + kBarTopPx;
        if (i % 2 == 1) {
            out_ += "<rect x=\"0\" y=\"" + Px(top) + "\" width=\"" + Px(width_) + "\" height=\"" +
                    Px(kLanePx) + "\" fill=\"#f4f4f4\"/>\n";
        }
        if (i > 0) {
            out_ += "<line x1=\"0\" y1=\"" + Px(top) + "\" x2=\"" + Px(width_) + "\" y2=\"" +
                    Px(top) + "\" stroke=\"#cccccc\"/>\n";
        }
        std::string name = labels_[i];
        if (DisplayWidth(name) > kMaxNameChars) {
            std::size_t cut = 0, shown = 0;
            while (cut < name.size() && shown < kMaxNameChars - 1) {
                ++cut;
                while (cut < name.size() &&
                       (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
                    ++cut;
                }
                ++shown;
            }
            name = name.substr(0, cut) + "\xE2\x80\xA6";
        }
        std::string hover = labels_[i];
        if (!lane.endpoint.empty()) {
            hover += ", " + Printable(lane.endpoint);
        }
        out_ += "<text x=\"12\" y=\"" + Px(barTop + kBarPx - 3) + "\"><title>" + XmlText(hover) +
                "</title>" + XmlText(name) + "</text>\n";

        // The states, one stretch per run of equal pixels.
        const std::vector<Shade> shades =
            CellShades(lane, timeline_.daemonOff, day_.startMs, day_.startMs + length_, plot_);
        int run = 0;
        for (int px = 1; px <= plot_; ++px) {
            if (px < plot_ &&
                shades[static_cast<std::size_t>(px)] == shades[static_cast<std::size_t>(run)]) {
                continue;
            }
            const Shade shade = shades[static_cast<std::size_t>(run)];
            if (shade != Shade::kNone) {
                const int64_t from = day_.startMs + length_ * run / plot_;
                const int64_t to = day_.startMs + length_ * px / plot_;
                const std::string fill = Fill(shade);
                out_ += "<rect x=\"" + Px(left_ + run) + "\" y=\"" + Px(barTop) + "\" width=\"" +
                        Px(px - run) + "\" height=\"" + Px(kBarPx) + "\" fill=\"" + fill +
                        "\"><title>" + XmlText(labels_[i]) + ": " + StyleOf(shade).label + ", " +
                        Clock(from) + " to " + Clock(to) + "</title></rect>\n";
            }
            run = px;
        }
        for (const Maintenance& m : lane.maintenance) {
            MaintenanceDrawing(m, barTop, labels_[i]);
        }
        Markers(lane, barTop, labels_[i]);
    }

    // A stretch of maintenance over the lane's states, who and why as its
    // hover text.
    void MaintenanceDrawing(const Maintenance& m, int barTop, const std::string& laneLabel) {
        const double from = X(std::max(m.startMs, day_.startMs));
        const double to = X(std::min(m.endMs, day_.endMs));
        std::string title = laneLabel + ": maintenance, " + Clock(m.startMs) + " to " +
                            (m.open ? "now, still paused" : Clock(m.endMs));
        if (!m.by.empty()) {
            title += ", by " + m.by;
        }
        if (m.untilMs != 0) {
            title += ", paused until " + Clock(m.untilMs);
        }
        if (!m.reason.empty()) {
            title += ": " + m.reason;
        }
        out_ += MaintenanceShape(from, std::max(to - from, 1.0), barTop, XmlText(title));
    }

    // One marker, or a group of trains, with its details as hover text.
    void MarkerGroup(MarkerKind kind, const std::vector<const Marker*>& group, double x,
                     int barTop) {
        bool failed = false;
        // One line per detail: escaped line by line, as line breaks are kept
        // in a hover text.
        std::string title;
        const auto line = [&](const std::string& text) {
            title += (title.empty() ? "" : "\n") + XmlText(text);
        };
        if (group.size() > 1) {
            line(std::to_string(group.size()) + " \xC3\x97 " + StyleOf(kind).label + ", " +
                 FullClock(group.front()->timeMs) + " to " + FullClock(group.back()->timeMs) + ":");
        }
        for (std::size_t i = 0; i < group.size(); ++i) {
            failed = failed || group[i]->failed;
            if (i < kMaxGroupDetails) {
                line(FullClock(group[i]->timeMs) + " " + StyleOf(kind).label +
                     (group[i]->detail.empty() ? "" : ": " + group[i]->detail));
            }
        }
        if (group.size() > kMaxGroupDetails) {
            line("and " + std::to_string(group.size() - kMaxGroupDetails) + " more");
        }
        out_ += "<g><title>" + title + "</title>" + MarkerShape(kind, x, barTop, failed) + "</g>\n";
    }

    // Trains: dots closer than a bucket drawn as one.
    void Trains(const Lane& lane, int barTop) {
        std::vector<const Marker*> group;
        double groupX = 0;
        for (const Marker& marker : lane.markers) {
            if (marker.kind != MarkerKind::kTrain || !InWindow(marker.timeMs)) {
                continue;
            }
            const double x = X(marker.timeMs);
            if (!group.empty() && x - groupX >= kBucketPx) {
                MarkerGroup(MarkerKind::kTrain, group, groupX, barTop);
                group.clear();
            }
            if (group.empty()) {
                groupX = x;
            }
            group.push_back(&marker);
        }
        if (!group.empty()) {
            MarkerGroup(MarkerKind::kTrain, group, groupX, barTop);
        }
    }

    bool InWindow(int64_t ms) const { return ms >= day_.startMs && ms < day_.endMs; }

    // The markers of one strip of a lane (above its bar, on it, or below
    // it): each on its own where it has room, and in a bucket where glyphs
    // would overlap, one box with their count instead, its details as hover
    // text, so that a day of storms stays light and readable.
    void Strip(const Lane& lane, std::initializer_list<MarkerKind> kinds, int barTop, double boxY,
               const std::string& laneLabel) {
        std::vector<const Marker*> shown;
        for (const Marker& marker : lane.markers) {
            if (std::find(kinds.begin(), kinds.end(), marker.kind) != kinds.end() &&
                InWindow(marker.timeMs)) {
                shown.push_back(&marker);
            }
        }
        std::sort(shown.begin(), shown.end(),
                  [](const Marker* a, const Marker* b) { return a->timeMs < b->timeMs; });
        const auto bucketOf = [&](const Marker* m) {
            return static_cast<int>((X(m->timeMs) - left_) / kBucketPx);
        };
        std::vector<bool> crowded(static_cast<std::size_t>(plot_ / kBucketPx + 2), false);
        for (std::size_t i = 1; i < shown.size(); ++i) {
            if (X(shown[i]->timeMs) - X(shown[i - 1]->timeMs) < kGlyphPx) {
                crowded[static_cast<std::size_t>(bucketOf(shown[i]))] = true;
                crowded[static_cast<std::size_t>(bucketOf(shown[i - 1]))] = true;
            }
        }
        for (std::size_t i = 0; i < shown.size();) {
            const int bucket = bucketOf(shown[i]);
            if (!crowded[static_cast<std::size_t>(bucket)]) {
                MarkerGroup(shown[i]->kind, {shown[i]}, X(shown[i]->timeMs), barTop);
                ++i;
                continue;
            }
            std::size_t end = i;
            while (end < shown.size() && bucketOf(shown[end]) == bucket) {
                ++end;
            }
            CountBox(std::vector<const Marker*>(shown.begin() + static_cast<std::ptrdiff_t>(i),
                                                shown.begin() + static_cast<std::ptrdiff_t>(end)),
                     bucket, boxY, laneLabel);
            i = end;
        }
    }

    // The box of a crowded bucket: how many markers it stands for, in the
    // colour of the kind most of them are, dashed when one of them failed.
    void CountBox(const std::vector<const Marker*>& markers, int bucket, double y,
                  const std::string& laneLabel) {
        int counts[kMarkerKindCount] = {};
        int failures = 0;
        for (const Marker* m : markers) {
            ++counts[static_cast<int>(m->kind)];
            failures += m->failed ? 1 : 0;
        }
        const int most =
            static_cast<int>(std::max_element(counts, counts + kMarkerKindCount) - counts);
        const int64_t from =
            day_.startMs + static_cast<int64_t>(bucket) * kBucketPx * length_ / plot_;
        const int64_t to = std::min(day_.endMs, from + kBucketPx * length_ / plot_);
        std::string title = XmlText(laneLabel) + ", " + Clock(from) + " to " + Clock(to) + ":";
        for (int k = 0; k < kMarkerKindCount; ++k) {
            if (counts[k] > 0) {
                title += "\n" + std::to_string(counts[k]) + " \xC3\x97 " +
                         StyleOf(static_cast<MarkerKind>(k)).label;
            }
        }
        if (failures > 0) {
            title += "\n" + std::to_string(failures) + " of them failed";
        }
        const std::size_t n = markers.size();
        const std::string count = n > 999 ? "999+" : std::to_string(n);
        const double x = left_ + bucket * kBucketPx + 0.5;
        const char* colour = StyleOf(static_cast<MarkerKind>(most)).colour;
        out_ += "<g><title>" + title + "</title><rect x=\"" + Px(x) + "\" y=\"" + Px(y) +
                "\" width=\"" + Px(kBucketPx - 1) +
                "\" height=\"9\" rx=\"2\" fill=\"#ffffff\" stroke=\"" + colour + "\"" +
                (failures > 0 ? " stroke-dasharray=\"2 1\"" : "") + "/><text x=\"" +
                Px(x + (kBucketPx - 1) / 2.0) + "\" y=\"" + Px(y + 7.5) +
                "\" font-size=\"8\" font-weight=\"bold\" text-anchor=\"middle\" fill=\"" + colour +
                "\">" + count + "</text></g>\n";
    }

    void Markers(const Lane& lane, int barTop, const std::string& laneLabel) {
        // Trains first, so that a mismatch ring lies over its train's dot.
        Trains(lane, barTop);
        Strip(lane, {MarkerKind::kMismatch, MarkerKind::kEvidence}, barTop, barTop + 2.5,
              laneLabel);
        Strip(lane, {MarkerKind::kTermination, MarkerKind::kUninstall}, barTop, barTop - 10.5,
              laneLabel);
        Strip(lane, {MarkerKind::kLaunch, MarkerKind::kInstall}, barTop, barTop + kBarPx + 1.5,
              laneLabel);
    }

    void Legend() {
        const int y = lanesBottom_ + 30;
        double x = 16;
        for (const Shade shade : LegendShades()) {
            const ShadeStyle& style = StyleOf(shade);
            const std::string fill = Fill(shade);
            out_ += "<g><title>" + XmlText(style.meaning) + "</title><rect x=\"" + Px(x) +
                    "\" y=\"" + Px(y - 10) + "\" width=\"22\" height=\"12\" fill=\"" + fill +
                    (shade == Shade::kMaintenance ? "\" stroke=\"#333333" : "") + "\"/><text x=\"" +
                    Px(x + 27) + "\" y=\"" + Px(y) + "\">" + style.label + "</text></g>\n";
            x += 27 + static_cast<double>(std::string(style.label).size()) * kLegendCharPx + 18;
        }
        const int y2 = y + 26;
        x = 16 + 4.5;
        for (const MarkerKind kind :
             {MarkerKind::kTermination, MarkerKind::kLaunch, MarkerKind::kTrain,
              MarkerKind::kMismatch, MarkerKind::kUninstall, MarkerKind::kInstall,
              MarkerKind::kEvidence}) {
            const int barTop = y2 - 10;
            std::string shape = MarkerShape(kind, x, barTop, false);
            // Markers sit on a bar: in the legend, shift the ones drawn above
            // or below it onto the line.
            std::string shifted;
            if (kind == MarkerKind::kTermination || kind == MarkerKind::kUninstall) {
                shifted = "<g transform=\"translate(0 9)\">" + shape + "</g>";
            } else if (kind == MarkerKind::kLaunch || kind == MarkerKind::kInstall) {
                shifted = "<g transform=\"translate(0 -13)\">" + shape + "</g>";
            } else {
                shifted = "<g transform=\"translate(0 -3)\">" + shape + "</g>";
            }
            const std::string label = StyleOf(kind).label;
            out_ += "<g><title>" + XmlText(StyleOf(kind).meaning) + "</title>" + shifted +
                    "<text x=\"" + Px(x + 10) + "\" y=\"" + Px(y2) + "\">" + label +
                    "</text></g>\n";
            x += 10 + static_cast<double>(label.size()) * kLegendCharPx + 22;
        }
    }

    const Timeline& timeline_;
    const DayWindow& day_;
    const LocalZone& zone_;
    std::string station_;
    int64_t nowMs_;
    TimeAxis axis_;
    std::vector<std::string> labels_;
    int left_ = 0;
    int64_t length_ = 0;
    int plot_ = 0;
    int width_ = 0;
    int lanesBottom_ = 0;
    int height_ = 0;
    std::string out_;
};

}  // namespace

std::string XmlText(const std::string& text) {
    return tools::EscapeXmlText(Printable(text));
}

std::string TimelineSvg(const Timeline& timeline, const DayWindow& day, const LocalZone& zone,
                        const std::string& station, int64_t nowMs) {
    Picture picture(timeline, day, zone, station, nowMs);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + picture.Svg();
}

std::string TimelineHtml(const Timeline& timeline, const DayWindow& day, const LocalZone& zone,
                         const std::string& station, int64_t nowMs) {
    Picture picture(timeline, day, zone, station, nowMs);
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
           XmlText(picture.Title()) +
           "</title>\n<style>body { margin: 16px; font-family: sans-serif; }</style>\n</head>\n"
           "<body>\n" +
           picture.Svg() + "</body>\n</html>\n";
}

}  // namespace zelkctl
