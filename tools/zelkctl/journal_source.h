// Where the journal is and what it holds on disk, for history and timeline:
// its folder (from --journal, or config.xml's journal element), its daily
// files and their text, which of them a range needs, and reading them in
// order; the computer's own time zone.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "zelkctl/command_line.h"
#include "zelkctl/journal_reader.h"
#include "zelkctl/journal_time.h"

namespace zelkctl {

// The exit code when the journal cannot be found or read, or the picture
// cannot be written.
constexpr int kJournalUnusable = 2;

// The time zone of this computer, as the C library's local time tells it.
class SystemZone : public LocalZone {
  public:
    int OffsetMinutesAt(int64_t utcSeconds) const override;
};

// The journal's folder for `choice` (ending in a separator): --journal as
// given, else from config.xml (--config, else the one beside zelkctl).
// False with a one-line `*error` when config.xml cannot be used or names no
// journal.
bool FindJournalFolder(const JournalChoice& choice, std::string* folder, std::string* error);

struct JournalFile {
    int64_t day;  // its date, as a day number
    std::string path;
};

// The daily files in `folder`, oldest first; other names are left alone.
std::vector<JournalFile> ListJournalFiles(const std::string& folder);

// The whole text of a journal file. False with a one-line `*error` when it
// cannot be read or is too large to be one.
bool ReadJournalFile(const std::string& path, std::string* text, std::string* error);

// The journal's files for `choice`, oldest first, and its folder. False,
// with the error told, when it cannot be found or holds no file.
bool OpenJournal(const JournalChoice& choice, std::vector<JournalFile>* files, std::string* folder);

// The files to read for [fromDay, toDay] of `files` (oldest first), as a
// range of indices [*first, *last]. It starts at the last file before
// fromDay that holds a daemon start, as every state in the range may go
// back to it (or at the first file), and ends at the first file after
// toDay, which may tell that the daemon ended within the range. `files` is
// not empty.
void PlanFiles(const std::vector<JournalFile>& files, int64_t fromDay, int64_t toDay,
               std::size_t* first, std::size_t* last);

// One reading of journal files: what it asks for, where the events go, and
// what it met.
struct FileReading {
    explicit FileReading(const LocalZone& localZone) : zone(localZone) {}

    const LocalZone& zone;  // tells the day of each file, for its suspect events
    // The first day asked for. A file before it is read only for the states
    // it leads into: one that cannot be read is told, but is no failure.
    int64_t fromDay = INT64_MIN;
    // Files after this day are read only up to the first event at or after
    // `stopAtMs`.
    int64_t lastFullDay = INT64_MAX;
    int64_t stopAtMs = INT64_MAX;
    JournalEventSink take;           // each event, in order
    std::function<void()> fileDone;  // after each file read, if set
    SuspectEvents suspect;           // events far ahead of their file's day
    int64_t skipped = 0;             // lines that are no event
};

// Reads files [first, last] of `files` in order as `*reading` asks. Errors
// are told as they come. False when a file from the first day asked for on
// could not be read.
bool ReadFiles(const std::vector<JournalFile>& files, std::size_t first, std::size_t last,
               FileReading* reading);

// Tells how many lines `reading` skipped and how many events were suspect
// (saying what became of them, `suspectFate`), if any.
void TellSkipped(const FileReading& reading, const char* suspectFate);

}  // namespace zelkctl
