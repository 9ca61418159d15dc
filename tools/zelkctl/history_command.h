// zelkctl history: its options, its help, and the journal's events listed
// with each application's time in each state.
#pragma once

#include <string>
#include <vector>

#include "zelkctl/command_line.h"

namespace zelkctl {

struct HistoryOptions {
    bool help = false;
    JournalChoice journal;
    // --since and --until as given (checked), --event (each a known kind).
    std::string since;
    std::string until;
    std::vector<std::string> events;
    bool json = false;
};

// Reads the arguments of `history` (arguments[0] is its name). False with
// `*error` for a bad command line.
bool ParseHistoryOptions(const std::vector<std::string>& arguments, HistoryOptions* options,
                         std::string* error);

std::string HistoryHelp();

// Carries out `history`: 0 done, kJournalUnusable, or kUsageError.
int RunHistory(const HistoryOptions& options);

extern const CommandEntry kHistoryCommand;

}  // namespace zelkctl
