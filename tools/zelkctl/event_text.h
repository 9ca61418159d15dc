// The journal's events in words: one line of details per event, shared by
// the history table and the timeline's hover texts, and the one guard that
// keeps texts from the journal from steering a terminal or breaking XML.
#pragma once

#include <string>
#include <string_view>

#include "journal/event.h"

namespace zelkctl {

// The event's own fields as one line, e.g. "silent cycle, wait 30: 1
// process terminated". Absent fields are left out; texts pass Printable.
std::string EventDetails(const journal::Event& event);
// The same, appended to `*out`.
void AppendEventDetails(std::string* out, const journal::Event& event);

// `text` (UTF-8) fit for a terminal line and for XML: tab, line feed and
// carriage return become blanks; other control characters (C0, DEL, C1),
// the characters that turn the direction of the text or show nothing
// (U+202E, U+2066 to U+2069, U+200B, U+FEFF and their kin) and the
// non-characters U+FFFE and U+FFFF become "?".
std::string Printable(std::string_view text);
void AppendPrintable(std::string* out, std::string_view text);

// A JSON line of the journal appended to `*out` with the characters above
// other than C0 controls (which a JSON line never holds raw) written as
// \u escapes: the same JSON, harmless on a terminal.
void AppendJsonForTerminal(std::string* out, std::string_view line);

// The number of characters (code points) of a UTF-8 text: its width on a
// terminal, near enough for names and details.
std::size_t DisplayWidth(std::string_view text);

}  // namespace zelkctl
