// One line of the journal turned into an Event, without any I/O.
#pragma once

#include <string_view>

#include "zelkctl/journal_event.h"

namespace zelkctl {

// Reads one line (without its line end; a trailing carriage return is
// allowed). True with `*event` filled for a JSON object with a valid RFC
// 3339 `time` and an `event` name; false for anything else: a torn line,
// one that is not JSON, or an object that is no event. Fields of the wrong
// type are left absent; unknown fields are ignored.
bool ParseJournalLine(std::string_view line, Event* event);

// True for a line holding nothing but white space: it is no event, and no
// damage either.
bool IsBlankLine(std::string_view line);

}  // namespace zelkctl
