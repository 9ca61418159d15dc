// A journal file's text turned into events, without any I/O: its lines read
// by the journal's contract (journal/line.h), the events handed on, the
// other lines (a torn last line after a power cut, a line that is not JSON)
// counted and skipped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/event.h"
#include "zelkctl/journal_time.h"

namespace zelkctl {

// Receives each event read, with the line it came from (viewing the text).
using JournalEventSink = std::function<void(const journal::Event& event, std::string_view line)>;

// Events with a time far ahead of their file's day (9999-12-31, a clock set
// a year ahead for a moment): what they say may be true, but their time is
// not, and taken as it is one such line would stretch every span and
// summary up to it.
struct SuspectEvents {
    int64_t afterMs = INT64_MAX;  // events later than this are suspect
    JournalEventSink take;        // receives them; when empty they are passed over
    int64_t count = 0;            // how many were met
};

// Reads the lines of `text` and hands each event to `take`, in the order of
// the lines: the order the daemon wrote them in, which is time order (a
// clock set back by hand shows as it happened). Lines end in "\n" or
// "\r\n"; the last may have no end. Blank lines are passed over; other
// lines that are no event are skipped. Reading stops after the first event
// at or after `stopAtMs` (that event handed on): the rest of the file is not
// needed. Suspect events (when `suspect` is given) go to its sink instead,
// and never stop the reading. Returns the number of lines skipped.
int64_t ReadJournalText(std::string_view text, const JournalEventSink& take,
                        int64_t stopAtMs = INT64_MAX, SuspectEvents* suspect = nullptr);

// The latest time an event of the file of `day` may have before it is
// suspect: a day after the end of that day.
int64_t SuspectAfter(const LocalZone& zone, int64_t day);

// Until when the journal's last states count: `nowMs` for a journal that
// is being kept (its last file, of `lastFileDay`, from today or yesterday:
// a quiet day writes nothing), else the end of its last file's day, as such
// a journal has been copied or given up, and what came after it is not
// known.
int64_t JournalEnd(const LocalZone& zone, int64_t lastFileDay, int64_t nowMs);

// For --app: the one line that says which of the names `asked` for is not
// among `known` (the applications of the journal read; `where` tells which
// part of it, as " for 2026-12-09" or ""), with the known name it most
// resembles, or a short list of them; "" when every one is known.
std::string UnknownAppsText(const std::vector<std::string>& asked,
                            const std::vector<std::string>& known, const std::string& where);

// The one line that says how many lines were skipped, or "" for none.
std::string SkippedLinesNote(int64_t skipped);

// The one line that says how many events were suspect and what became of
// them (`fate`), or "" for none.
std::string SuspectEventsNote(int64_t suspect, const char* fate);

}  // namespace zelkctl
