// zelkctl: the operator's tool of ZELK_Daemon: the status of the watched
// applications, a check of config.xml, and the history and timeline of the
// daemon's event journal.
#include <cstdio>
#include <string>
#include <vector>

#include "zelkctl/commands.h"
#include "zelkctl/journal_commands.h"
#include "zelkctl/options.h"
#include "zelkctl/status_view.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const zelkctl::ParseResult parsed = zelkctl::ParseOptions(arguments);
    if (!parsed.error.empty()) {
        zelkctl::TellError(parsed.error + " (see zelkctl --help)");
        return zelkctl::kUsageError;
    }
    const zelkctl::Options& options = parsed.options;
    if (options.help) {
        std::fputs(zelkctl::HelpText(options.command).c_str(), stdout);
        return zelkctl::AfterOutput(0, zelkctl::kUsageError);
    }
    switch (options.command) {
        case zelkctl::Command::kStatus:
            // The watch ends by itself when its picture cannot be written,
            // with the code of the last picture shown.
            return options.watch
                       ? zelkctl::RunStatus(options)
                       : zelkctl::AfterOutput(zelkctl::RunStatus(options), zelkctl::kStatusUnknown);
        case zelkctl::Command::kHistory:
            return zelkctl::AfterOutput(zelkctl::RunHistory(options), zelkctl::kJournalUnusable);
        case zelkctl::Command::kTimeline:
            return zelkctl::AfterOutput(zelkctl::RunTimeline(options), zelkctl::kJournalUnusable);
        default:
            return zelkctl::AfterOutput(zelkctl::RunCheck(options), zelkctl::kUsageError);
    }
}
