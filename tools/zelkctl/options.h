// Command line of zelkctl: the command (status, check, history or timeline)
// and its options.
#pragma once

#include <string>
#include <vector>

#include "zelkctl/journal_time.h"

namespace zelkctl {

enum class Command { kNone, kStatus, kCheck, kHistory, kTimeline };

// The exit code of a command line that cannot be carried out, distinct from
// every answer a command gives (status: 0 to 2, and 3 is "unknown" anyway;
// check: 0 to 2).
constexpr int kUsageError = 3;

struct Options {
    Command command = Command::kNone;
    // Help of the tool, or of `command` when one is given.
    bool help = false;
    // --config, or the PATH of check; empty: config.xml beside zelkctl.
    std::string configPath;
    // status --file: the snapshot itself; empty: found through config.xml.
    std::string snapshotPath;
    bool watch = false;
    int watchSeconds = 2;
    // history and timeline: --journal, the journal's folder itself; empty:
    // found through config.xml.
    std::string journalFolder;
    std::vector<std::string> apps;  // --app, each time given
    // history: --since and --until as given (checked), --event (each a
    // known kind), --json.
    std::string since;
    std::string until;
    std::vector<std::string> events;
    bool json = false;
    // timeline: --day (checked; empty: today) and --output (a .svg or
    // .html file; empty: drawn on the terminal).
    std::string day;
    std::string outputPath;
    bool outputHtml = false;  // --output names an .html (or .htm) file
    // timeline: --from and --to, the window of the day as minutes after its
    // local midnight (checked: from at least a minute before to); not given,
    // the day's start and end.
    int fromMinute = 0;
    int toMinute = kMinutesPerDay;
};

struct ParseResult {
    Options options;
    // Empty when the command line was valid.
    std::string error;
};

// Reads the arguments after the program name: a command, then its options.
// Options take their value as the next argument or after "=" ("--config
// PATH", "--config=PATH"); the value of --watch is optional. Unknown
// commands and options, missing or malformed values, --config with --file
// and extra arguments give an error text.
ParseResult ParseOptions(const std::vector<std::string>& arguments);

// The --help text of the tool (Command::kNone) or of one command.
std::string HelpText(Command command);

}  // namespace zelkctl
