// The commands of zelkctl with their effects: reading config.xml and the
// status snapshot, asking the file system, printing, and the watch loop.
// history and timeline: journal_commands.h.
#pragma once

#include <cstdint>
#include <string>

#include "zelkctl/options.h"

namespace zelkctl {

// The system's text for `code` on one line, without its final full stop.
std::string Reason(int code);

// The config.xml beside zelkctl, the one the daemon reads; empty when the
// folder of zelkctl cannot be told.
std::string DefaultConfigPath();

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
bool FindSnapshot(const Options& options, std::string* path, std::string* error);

// zelkctl status and zelkctl check; each returns the exit code.
int RunStatus(const Options& options);
int RunCheck(const Options& options);

}  // namespace zelkctl
