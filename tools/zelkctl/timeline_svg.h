// A day's timeline as a picture: a self-contained SVG (no script, no
// external font or file, so that it can be mailed or attached to a ticket),
// or an HTML page holding it.
#pragma once

#include <cstdint>
#include <string>

#include "zelkctl/journal_time.h"
#include "zelkctl/timeline_spans.h"

namespace zelkctl {

// The picture of `timeline` over `day` (a whole day, or a window of it) at
// `station`: one lane per application with its states as coloured
// stretches (hatched grey where the daemon did not run), markers for
// restarts, launches, trains, mismatches, commands and evidence, each
// with its details as a <title> shown on hover, a time axis (hour marks,
// or ticks for a short window), a legend, and the station, the day and the
// window in the title. Times are told in `zone`. A line marks `nowMs` when it
// falls in the window.
std::string TimelineSvg(const Timeline& timeline, const DayWindow& day, const LocalZone& zone,
                        const std::string& station, int64_t nowMs);

// An HTML page showing the same picture.
std::string TimelineHtml(const Timeline& timeline, const DayWindow& day, const LocalZone& zone,
                         const std::string& station, int64_t nowMs);

// `text` made printable and escaped for XML character data and attributes.
std::string XmlText(const std::string& text);

}  // namespace zelkctl
