// zelkctl pause, resume and restart: one application of a running daemon
// taken out of supervision, put back, or terminated and launched; and
// reload, config.xml read again; through the daemon's control channel
// (docs/control.md).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "supervision/control_protocol.h"
#include "zelkctl/command_line.h"

namespace zelkctl {

struct ControlOptions {
    bool help = false;
    ControlRequest request;  // its op set by the command
    std::string configPath;  // --config; empty: the config.xml beside zelkctl
};

// "90" or "90s", "30m", "2h", "1d" as seconds; 0 for anything else.
int64_t ParseDuration(const std::string& text);

// Reads the arguments of `pause`, `resume`, `restart` or `reload`
// (arguments[0] is the name): the application (not for reload), then
// --reason TEXT (pause, restart: needed), --for DURATION (pause), --dry-run
// (reload), --config PATH. False with `*error`.
bool ParseControlOptions(const std::vector<std::string>& arguments, ControlOptions* options,
                         std::string* error);

// Exit codes: 0 done, 1 refused by the daemon (the answer says why), 2 no
// daemon answered, kUsageError a bad command line.
extern const CommandEntry kPauseCommand;
extern const CommandEntry kResumeCommand;
extern const CommandEntry kRestartCommand;
extern const CommandEntry kReloadCommand;

// What `zelkctl reload` prints under the answer's message: a line per
// application changed, added or removed, per option element whose settings
// changed, and per finding of the check.
std::string ReloadDetails(const ControlAnswer& answer);

}  // namespace zelkctl
