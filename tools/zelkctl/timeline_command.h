// zelkctl timeline: its options, its help, and one day of the station, or a
// window of it, drawn on the terminal or written as a picture.
#pragma once

#include <string>
#include <vector>

#include "zelkctl/command_line.h"
#include "zelkctl/journal_time.h"

namespace zelkctl {

struct TimelineOptions {
    bool help = false;
    JournalChoice journal;
    std::string day;          // --day (checked); empty: today
    std::string outputPath;   // --output: a .svg or .html file; empty: the terminal
    bool outputHtml = false;  // --output names an .html (or .htm) file
    // --from and --to, the window of the day as minutes after its local
    // midnight (checked: from at least a minute before to); not given, the
    // day's start and end, or the stretch the journal holds when that is
    // shorter than kZoomBelowMs.
    int fromMinute = 0;
    int toMinute = kMinutesPerDay;
    bool windowGiven = false;  // --from or --to
};

// Reads the arguments of `timeline` (arguments[0] is its name). False with
// `*error` for a bad command line.
bool ParseTimelineOptions(const std::vector<std::string>& arguments, TimelineOptions* options,
                          std::string* error);

std::string TimelineHelp();

// Carries out `timeline`: 0 done, kJournalUnusable, or kUsageError.
int RunTimeline(const TimelineOptions& options);

extern const CommandEntry kTimelineCommand;

}  // namespace zelkctl
