// zelkctl status: its options, its help, and reading the daemon's status
// snapshot once or over and over (--watch).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zelkctl/command_line.h"

namespace zelkctl {

struct StatusOptions {
    bool help = false;
    std::string configPath;    // --config; empty: config.xml beside zelkctl
    std::string snapshotPath;  // --file: the snapshot itself; empty: found through config.xml
    bool watch = false;
    int watchSeconds = 2;
};

// Reads the arguments of `status` (arguments[0] is its name). False with
// `*error` for a bad command line.
bool ParseStatusOptions(const std::vector<std::string>& arguments, StatusOptions* options,
                        std::string* error);

std::string StatusHelp();

// The snapshot read and turned into a report.
struct StatusResult {
    int exitCode = 3;   // as StatusExitCode, or kStatusUnknown
    std::string text;   // the report; empty when the snapshot could not be used
    std::string error;  // one line ("cannot read PATH: reason"); empty when it could
};

// Reads the snapshot file at `path` and reports on it as of `now`.
StatusResult ReadStatus(const std::string& path, int64_t now);

// Where the snapshot is for `options`: --file as given, else the status
// folder of config.xml (--config, else the one beside zelkctl). False with a
// one-line `*error` when config.xml cannot be used or names no status folder.
bool FindSnapshot(const StatusOptions& options, std::string* path, std::string* error);

// Carries out `status`: the exit code as StatusExitCode, or kStatusUnknown
// (with --watch, the code of the last picture shown).
int RunStatus(const StatusOptions& options);

extern const CommandEntry kStatusCommand;

}  // namespace zelkctl
