// zelkctl: the operator's tool of ZELK_Daemon: the status of the watched
// applications, a check of config.xml, and the history and timeline of the
// daemon's event journal.
#include <cstdio>
#include <string>
#include <vector>

#include "zelkctl/commands.h"
#include "zelkctl/journal_commands.h"
#include "zelkctl/options.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const zelkctl::ParseResult parsed = zelkctl::ParseOptions(arguments);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "zelkctl: %s (see zelkctl --help)\n", parsed.error.c_str());
        return zelkctl::kUsageError;
    }
    const zelkctl::Options& options = parsed.options;
    if (options.help) {
        std::fputs(zelkctl::HelpText(options.command).c_str(), stdout);
        return 0;
    }
    switch (options.command) {
        case zelkctl::Command::kStatus:
            return zelkctl::RunStatus(options);
        case zelkctl::Command::kHistory:
            return zelkctl::RunHistory(options);
        case zelkctl::Command::kTimeline:
            return zelkctl::RunTimeline(options);
        default:
            return zelkctl::RunCheck(options);
    }
}
