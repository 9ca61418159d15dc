#include "zelkctl/timeline_svg_shapes.h"

#include <cstdio>

namespace zelkctl {

std::string Px(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string s = text;
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) {
        s.resize(s.size() - 2);
    }
    return s;
}

std::string PatternDefinitions() {
    return "<defs><pattern id=\"off\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
           "patternTransform=\"rotate(45)\"><rect width=\"6\" height=\"6\" fill=\"#e6e6e6\"/>"
           "<rect width=\"3\" height=\"6\" fill=\"#999999\"/></pattern>"
           "<pattern id=\"down\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
           "patternTransform=\"rotate(-45)\"><rect width=\"6\" height=\"6\" fill=\"#D55E00\"/>"
           "<rect width=\"2\" height=\"6\" fill=\"#5a1e00\"/></pattern>"
           "<pattern id=\"maintenance\" width=\"5\" height=\"5\" patternUnits=\"userSpaceOnUse\" "
           "patternTransform=\"rotate(90)\"><rect width=\"2\" height=\"5\" fill=\"#222222\" "
           "fill-opacity=\"0.6\"/></pattern></defs>\n";
}

std::string MaintenanceShape(double x, double width, int barTop, const std::string& title) {
    return "<g><title>" + title + "</title><rect x=\"" + Px(x) + "\" y=\"" + Px(barTop - 2) +
           "\" width=\"" + Px(width) + "\" height=\"" + Px(kBarPx + 4) +
           "\" fill=\"url(#maintenance)\" stroke=\"#333333\"/></g>\n";
}

std::string MarkerShape(MarkerKind kind, double x, int barTop, bool failed) {
    const int barBottom = barTop + kBarPx;
    const double middle = barTop + kBarPx / 2.0;
    switch (kind) {
        case MarkerKind::kTermination:
            return "<path d=\"M" + Px(x - 4.5) + " " + Px(barTop - 9) +
                   "h9l-4.5 8.5z\" fill=\"#000000\"/>";
        case MarkerKind::kLaunch:
            return "<path d=\"M" + Px(x - 4.5) + " " + Px(barBottom + 9) +
                   "h9l-4.5 -8.5z\" fill=\"" + std::string(failed ? "#ffffff" : "#0072B2") +
                   "\" stroke=\"#0072B2\" stroke-width=\"1.2\"/>";
        case MarkerKind::kTrain:
            return "<circle cx=\"" + Px(x) + "\" cy=\"" + Px(middle) +
                   "\" r=\"2.2\" fill=\"#000000\"/>";
        case MarkerKind::kMismatch:
            return "<circle cx=\"" + Px(x) + "\" cy=\"" + Px(middle) +
                   "\" r=\"5\" fill=\"#ffffff\" stroke=\"#D55E00\" stroke-width=\"2.4\"/>";
        case MarkerKind::kEvidence:
            // A diamond on the bar, white so that it shows on every state.
            return "<path d=\"M" + Px(x) + " " + Px(middle - 6) + "l5 6l-5 6l-5 -6z\" " +
                   "fill=\"#ffffff\" stroke=\"#000000\" stroke-width=\"1.5\"" +
                   (failed ? " stroke-dasharray=\"2 1\"" : "") + "/>";
        case MarkerKind::kUninstall:
        case MarkerKind::kInstall: {
            const bool up = kind == MarkerKind::kUninstall;
            const double y = up ? barTop - 10.5 : barBottom + 1.5;
            return "<rect x=\"" + Px(x - 4.5) + "\" y=\"" + Px(y) +
                   "\" width=\"9\" height=\"9\" fill=\"#ffffff\" stroke=\"#000000\"" +
                   (failed ? " stroke-dasharray=\"2 1\"" : "") + "/><text x=\"" + Px(x) +
                   "\" y=\"" + Px(y + 7.5) +
                   "\" font-size=\"8\" font-weight=\"bold\" text-anchor=\"middle\">" +
                   (up ? "U" : "I") + "</text>";
        }
    }
    return std::string();
}

}  // namespace zelkctl
