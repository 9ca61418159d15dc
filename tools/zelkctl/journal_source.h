// Where the journal is and what it holds on disk: its folder (from
// --journal, or config.xml's journal element), its daily files, their text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zelkctl/options.h"

namespace zelkctl {

// The journal's folder for `options` (ending in a separator): --journal as
// given, else from config.xml (--config, else the one beside zelkctl).
// False with a one-line `*error` when config.xml cannot be used or names no
// journal.
bool FindJournalFolder(const Options& options, std::string* folder, std::string* error);

struct JournalFile {
    int64_t day;  // its date, as a day number
    std::string path;
};

// The daily files in `folder`, oldest first; other names are left alone.
std::vector<JournalFile> ListJournalFiles(const std::string& folder);

// The whole text of a journal file. False with a one-line `*error` when it
// cannot be read or is too large to be one.
bool ReadJournalFile(const std::string& path, std::string* text, std::string* error);

}  // namespace zelkctl
