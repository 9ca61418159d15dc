// zelkctl check: its options, its help, and the check of a config.xml with
// the daemon's own loader and walk.
#pragma once

#include <string>
#include <vector>

#include "zelkctl/command_line.h"

namespace zelkctl {

struct CheckOptions {
    bool help = false;
    std::string configPath;  // PATH; empty: config.xml beside zelkctl
};

// Reads the arguments of `check` (arguments[0] is its name): at most one
// path. False with `*error` for a bad command line.
bool ParseCheckOptions(const std::vector<std::string>& arguments, CheckOptions* options,
                       std::string* error);

std::string CheckHelp();

// Carries out `check`: 0 no pitfall, 1 pitfalls, 2 the file is not loaded,
// kUsageError when zelkctl's own folder cannot be told.
int RunCheck(const CheckOptions& options);

extern const CommandEntry kCheckCommand;

}  // namespace zelkctl
