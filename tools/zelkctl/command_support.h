// What zelkctl's commands share of effects: telling errors, the end of the
// output, help, reading small files, and finding config.xml and the folders
// it names as the daemon does.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "zelkctl/command_line.h"

class CXmlDocument;

namespace zelkctl {

// Tells `message` on standard error as one line: "zelkctl: " and the text
// with its control characters made harmless (it may quote a path or an
// argument as given).
void TellError(const std::string& message);

// The exit code of a command that returned `code`, once its output has been
// flushed: when standard output did not take all of it (a full disk, a
// reader that went away), says so and gives `failed` instead.
int AfterOutput(int code, int failed);

// Prints a help text: 0, or kUsageError when it could not be written.
int ShowHelp(const std::string& text);

// A command's whole course: its options read by `parse` (a bad command
// line is told, with a pointer to --help, and gives kUsageError), its help
// when asked for, else `run` with the options: the exit code.
template <class Options>
int RunCommandLine(const std::vector<std::string>& arguments,
                   bool (*parse)(const std::vector<std::string>&, Options*, std::string*),
                   std::string (*help)(), int (*run)(const Options&)) {
    Options options;
    std::string error;
    if (!parse(arguments, &options, &error)) {
        TellError(error + " (see zelkctl --help)");
        return kUsageError;
    }
    return options.help ? ShowHelp(help()) : run(options);
}

// How ReadSmallFile opens a file: whether it follows a link of the name.
enum class Links { kFollow, kRefuse };

// Reads the whole file at `path`, of at most `maxBytes` (a larger one is no
// `what`). False with a one-line `*error` ("cannot read PATH: reason").
bool ReadSmallFile(const std::string& path, int32_t maxBytes, const char* what, std::string* text,
                   std::string* error, Links links = Links::kFollow);

// The config.xml beside zelkctl, the one the daemon reads; empty when the
// folder of zelkctl cannot be told.
std::string DefaultConfigPath();

// The folder of the daemon that reads the config.xml at `configPath`.
std::string DaemonFolder(const std::string& configPath);

// The folder in `element`'s `folder` attribute of the config.xml
// `configPath` names (empty: the one beside zelkctl), as the daemon
// resolves it: `read` gives it from the loaded document and the daemon's
// folder. False with a one-line `*error` when config.xml cannot be used, or
// with `*error` empty when the folder is empty; `*usedPath` is the file
// read either way. `alternative` names the option that gives the folder's
// file directly, for the error.
bool FolderFromConfig(const std::string& configPath, const char* alternative,
                      std::string (*read)(CXmlDocument& document, const std::string& daemonFolder),
                      std::string* folder, std::string* usedPath, std::string* error);

}  // namespace zelkctl
