// A journal file's text turned into events, without any I/O: the lines that
// are events kept, the others (a torn last line after a power cut, a line
// that is not JSON) counted and skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zelkctl/journal_event.h"

namespace zelkctl {

// The daily files of the journal: zelk-events-YYYY-MM-DD.jsonl.
constexpr const char* kJournalFilePrefix = "zelk-events-";
constexpr const char* kJournalFileExtension = "jsonl";

// The day number of a journal file's name (no folder), or false for a name
// that is not one.
bool JournalFileDay(std::string_view fileName, int64_t* day);

struct JournalChunk {
    std::vector<Event> events;
    // The line of each event, viewing the text it was read from.
    std::vector<std::string_view> lines;
    int64_t skipped = 0;  // lines that are no event
};

// Reads the lines of `text` into `*chunk` (appending). Lines end in "\n" or
// "\r\n"; the last may have no end. Blank lines are passed over without
// counting. Reading stops after the first event at or after `stopAtMs`
// (that event included): the rest of the file is not needed.
void ReadJournalText(std::string_view text, JournalChunk* chunk, int64_t stopAtMs = INT64_MAX);

// The indices of `events` in time order; events of the same time keep the
// order of their lines.
std::vector<std::size_t> TimeOrder(const std::vector<Event>& events);

// True when `text` holds a daemon_started line as the daemon writes it
// (compactly), found without reading the lines. A false answer for a line
// written otherwise only makes a reader look further back.
bool MentionsDaemonStart(std::string_view text);

// The one line that says how many lines were skipped, or "" for none.
std::string SkippedLinesNote(int64_t skipped);

}  // namespace zelkctl
