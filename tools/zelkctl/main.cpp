// zelkctl: the operator's tool of ZELK_Daemon: the status of the watched
// applications, a check of config.xml, and the history and timeline of the
// daemon's event journal.
#include <iterator>
#include <string>
#include <vector>

#include "zelkctl/check_command.h"
#include "zelkctl/command_line.h"
#include "zelkctl/command_support.h"
#include "zelkctl/control_command.h"
#include "zelkctl/evidence_command.h"
#include "zelkctl/history_command.h"
#include "zelkctl/status_command.h"
#include "zelkctl/timeline_command.h"

namespace {

// The commands, in the order the tool's help lists them.
const zelkctl::CommandEntry* const kCommands[] = {
    &zelkctl::kStatusCommand,   &zelkctl::kCheckCommand,    &zelkctl::kHistoryCommand,
    &zelkctl::kTimelineCommand, &zelkctl::kEvidenceCommand, &zelkctl::kPauseCommand,
    &zelkctl::kResumeCommand,   &zelkctl::kRestartCommand,  &zelkctl::kReloadCommand,
};
constexpr std::size_t kCommandCount = std::size(kCommands);

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    int chosen = -1;
    bool help = false;
    std::string error;
    if (!zelkctl::ChooseCommand(kCommands, kCommandCount, arguments, &chosen, &help, &error)) {
        zelkctl::TellError(error + " (see zelkctl --help)");
        return zelkctl::kUsageError;
    }
    if (help) {
        return zelkctl::ShowHelp(chosen < 0 ? zelkctl::ToolHelp(kCommands, kCommandCount)
                                            : kCommands[chosen]->help());
    }
    return kCommands[chosen]->main(arguments);
}
