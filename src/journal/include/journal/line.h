// One line of the journal: one compact JSON object (JSON Lines, UTF-8),
// written from an Event by the daemon and read back into one by zelkctl.
#pragma once

#include <string>
#include <string_view>

#include "journal/event.h"

namespace journal {

// The line of `event`, ending in a line feed: time, event, then for an
// application's kinds app, index and endpoint, then the kind's own fields
// in their order (numbers and flags only when present). Bytes of a text
// that are not UTF-8 become U+FFFD. Empty for kUnknown.
std::string FormatLine(const Event& event);

// Reads one line (without its line end; a trailing carriage return is
// allowed). True with `*event` filled for a JSON object with a valid RFC
// 3339 `time` and an `event` name; false for anything else: a torn line,
// one that is not JSON, or an object that is no event. Fields of the wrong
// type are left absent; unknown fields are ignored. `*event` is reused:
// its texts keep their room from line to line.
bool ParseLine(std::string_view line, Event* event);

// True for a line holding nothing but white space: it is no event, and no
// damage either.
bool IsBlankLine(std::string_view line);

// True when `text` holds a daemon_started line as FormatLine writes it,
// found without reading the lines. A false answer for a line written
// otherwise only makes a reader look further back.
bool MentionsDaemonStart(std::string_view text);

}  // namespace journal
