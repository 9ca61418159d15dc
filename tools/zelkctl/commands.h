// The commands of zelkctl with their effects: reading config.xml and the
// status snapshot, asking the file system, printing, and the watch loop.
// history and timeline: journal_commands.h.
#pragma once

#include <cstdint>
#include <string>

#include "zelkctl/options.h"

class CXmlDocument;

namespace zelkctl {

// Reads the whole file at `path`, of at most `maxBytes` (a larger one is no
// `what`). False with a one-line `*error` ("cannot read PATH: reason").
bool ReadSmallFile(const std::string& path, int32_t maxBytes, const char* what, std::string* text,
                   std::string* error);

// The config.xml beside zelkctl, the one the daemon reads; empty when the
// folder of zelkctl cannot be told.
std::string DefaultConfigPath();

// The folder in `element`'s `folder` attribute of the config.xml `options`
// name (--config, else the one beside zelkctl), as the daemon resolves it:
// `read` gives it from the loaded document and the daemon's folder. False
// with a one-line `*error` when config.xml cannot be used or the folder is
// empty; `*configPath` is the file read either way. `alternative` names the
// option that gives the folder's file directly, for the error.
bool FolderFromConfig(const Options& options, const char* alternative,
                      std::string (*read)(CXmlDocument& document, const std::string& daemonFolder),
                      std::string* folder, std::string* configPath, std::string* error);

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

// Tells `message` on standard error as one line: "zelkctl: " and the text
// with its control characters made harmless (it may quote a path or an
// argument as given).
void TellError(const std::string& message);

// zelkctl status and zelkctl check; each returns the exit code.
int RunStatus(const Options& options);
int RunCheck(const Options& options);

// The exit code of a command that returned `code`, once its output has been
// flushed: when standard output did not take all of it (a full disk, a
// reader that went away), says so and gives `failed` instead.
int AfterOutput(int code, int failed);

}  // namespace zelkctl
