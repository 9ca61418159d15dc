// A journal file's text turned into events, without any I/O: its lines read
// by the journal's contract (journal/line.h), the events handed on, the
// other lines (a torn last line after a power cut, a line that is not JSON)
// counted and skipped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "journal/event.h"
#include "zelkctl/journal_time.h"

namespace zelkctl {

// Receives each event read, with the line it came from (viewing the text).
using JournalEventSink = std::function<void(const journal::Event& event, std::string_view line)>;

// Reads the lines of `text` and hands each event to `take`, in the order of
// the lines: the order the daemon wrote them in, which is time order (a
// clock set back by hand shows as it happened). Lines end in "\n" or
// "\r\n"; the last may have no end. Blank lines are passed over; other
// lines that are no event are skipped. Reading stops after the first event
// at or after `stopAtMs` (that event handed on): the rest of the file is not
// needed. Returns the number of lines skipped.
int64_t ReadJournalText(std::string_view text, const JournalEventSink& take,
                        int64_t stopAtMs = INT64_MAX);

// Until when the journal's last states count: `nowMs` for a journal that
// is being kept (its last file, of `lastFileDay`, from today or yesterday:
// a quiet day writes nothing), else the end of its last file's day, as such
// a journal has been copied or given up, and what came after it is not
// known.
int64_t JournalEnd(const LocalZone& zone, int64_t lastFileDay, int64_t nowMs);

// The one line that says how many lines were skipped, or "" for none.
std::string SkippedLinesNote(int64_t skipped);

}  // namespace zelkctl
