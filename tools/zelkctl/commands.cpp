#include "zelkctl/commands.h"

#include <cstdio>
#include <ctime>

#include "daemon/platform_config.h"
#include "markup/markup.h"
#include "platform/error_text.h"
#include "platform/file_read.h"
#include "platform/folder_probe.h"
#include "platform/program_search.h"
#include "platform/system.h"
#include "platform/watch_terminal.h"
#include "supervision/config_check.h"
#include "supervision/config_walk.h"
#include "supervision/status_snapshot.h"
#include "zelkctl/check_view.h"
#include "zelkctl/event_text.h"
#include "zelkctl/status_view.h"

namespace zelkctl {

namespace {

// Far more than any snapshot of 20 applications (about 20 KB); a larger
// file is not one.
constexpr int32_t kMaxSnapshotBytes = 4 * 1024 * 1024;

// The folder of zelkctl, which is installed beside the daemon; empty when
// the platform cannot tell.
std::string OwnFolder() {
    const std::string program = platform::ExecutablePath();
    return program.empty() ? std::string() : platform::FolderOf(program);
}

}  // namespace

bool ReadSmallFile(const std::string& path, int32_t maxBytes, const char* what, std::string* text,
                   std::string* error) {
    platform::ClearLastErrorCode();
    std::FILE* file = platform::OpenFileForReading(path.c_str());
    if (file == nullptr) {
        *error = "cannot read " + path + ": " + platform::ErrorText(platform::LastErrorCode());
        return false;
    }
    const int32_t size = platform::FileStreamSize(file);
    bool ok = size >= 0 && size <= maxBytes;
    if (!ok) {
        *error = size < 0
                     ? "cannot read " + path + ": " + platform::ErrorText(platform::LastErrorCode())
                     : path + " is too large for a " + what;
    } else {
        text->resize(static_cast<std::size_t>(size));
        ok = size == 0 || std::fread(&(*text)[0], 1, text->size(), file) == text->size();
        if (!ok) {
            *error = "cannot read " + path + ": read error";
        }
    }
    std::fclose(file);
    return ok;
}

std::string DefaultConfigPath() {
    const std::string folder = OwnFolder();
    return folder.empty() ? std::string() : folder + "config.xml";
}

// The folder of the daemon that reads the config.xml at `configPath`.
std::string DaemonFolder(const std::string& configPath) {
    PlatformConfigProbe probe;
    return DaemonFolderFor(configPath, OwnFolder(), probe);
}

namespace {

std::string ClockTime(int64_t now) {
    std::tm local{};
    char text[16] = "";
    if (platform::LocalTime(now, &local)) {
        std::strftime(text, sizeof text, "%H:%M:%S", &local);
    }
    return text;
}

}  // namespace

StatusResult ReadStatus(const std::string& path, int64_t now) {
    StatusResult result;
    std::string text;
    std::string reason;
    StatusSnapshot snapshot;
    if (!ReadSmallFile(path, kMaxSnapshotBytes, "status snapshot", &text, &reason)) {
        result.error = reason;
    } else if (!ParseStatus(text, &snapshot, &reason)) {
        result.error = path + " is not a status snapshot: " + reason;
    } else {
        result.exitCode = StatusExitCode(snapshot, now);
        result.text = StatusReport(snapshot, path, now, platform::LocalTime);
    }
    return result;
}

bool FolderFromConfig(const Options& options, const char* alternative,
                      std::string (*read)(CXmlDocument& document, const std::string& daemonFolder),
                      std::string* folder, std::string* configPath, std::string* error) {
    const std::string given = options.configPath.empty() ? DefaultConfigPath() : options.configPath;
    if (given.empty()) {
        *error = std::string("cannot tell the folder of zelkctl: give --config or ") + alternative;
        return false;
    }
    *configPath = platform::AbsolutePath(given);
    CXmlDocument document;
    if (!LoadConfigDocument(*configPath, document)) {
        platform::ClearLastErrorCode();
        std::FILE* file = platform::OpenFileForReading(configPath->c_str());
        const int code = platform::LastErrorCode();
        if (file == nullptr) {
            *error = "cannot read " + *configPath + ": " + platform::ErrorText(code);
        } else {
            std::fclose(file);
            *error = "cannot use " + *configPath + ": not loaded (zelkctl check tells why)";
        }
        return false;
    }
    *folder = read(document, DaemonFolder(*configPath));
    return !folder->empty();
}

bool FindSnapshot(const Options& options, std::string* path, std::string* error) {
    if (!options.snapshotPath.empty()) {
        *path = options.snapshotPath;
        return true;
    }
    std::string folder;
    std::string configPath;
    const auto statusFolder = [](CXmlDocument& document, const std::string& daemonFolder) {
        return StatusFolder(document, daemonFolder, PlatformFacts());
    };
    if (!FolderFromConfig(options, "--file", statusFolder, &folder, &configPath, error)) {
        if (error->empty()) {
            *error = configPath +
                     " has no <status folder=\"...\"/> element: the daemon writes no "
                     "status snapshot";
        }
        return false;
    }
    *path = NormaliseFolder(folder, platform::kPathSeparator) + kStatusFileName;
    return true;
}

void TellError(const std::string& message) {
    std::fprintf(stderr, "zelkctl: %s\n", Printable(message).c_str());
}

int AfterOutput(int code, int failed) {
    platform::ClearLastErrorCode();
    const bool flushed = std::fflush(stdout) == 0;
    const int32_t error = platform::LastErrorCode();
    if (flushed && std::ferror(stdout) == 0) {
        return code;
    }
    TellError("cannot write the output" + (error != 0 ? ": " + platform::ErrorText(error) : ""));
    return failed;
}

int RunStatus(const Options& options) {
    std::string path;
    std::string error;
    if (!FindSnapshot(options, &path, &error)) {
        TellError(error);
        return kStatusUnknown;
    }
    if (!options.watch) {
        const StatusResult result = ReadStatus(path, platform::CurrentTime());
        if (!result.error.empty()) {
            TellError(result.error);
        }
        std::fputs(result.text.c_str(), stdout);
        return result.exitCode;
    }
    platform::WatchTerminal terminal;
    const std::string footer =
        "every " + std::to_string(options.watchSeconds) + "s; press a key or Ctrl-C to stop";
    int exitCode = kStatusUnknown;
    // Ends at a key, at a signal, or when the picture cannot be written (the
    // reader of a pipe has gone).
    do {
        const int64_t now = platform::CurrentTime();
        const StatusResult result = ReadStatus(path, now);
        exitCode = result.exitCode;
        const std::string body =
            result.error.empty() ? result.text : "UNKNOWN: " + result.error + "\n";
        if (!terminal.Show(body + "\n" + ClockTime(now) + ", " + footer + "\n")) {
            break;
        }
    } while (!terminal.WaitForKey(static_cast<unsigned>(options.watchSeconds) * 1000u));
    return exitCode;
}

int RunCheck(const Options& options) {
    const std::string given = options.configPath.empty() ? DefaultConfigPath() : options.configPath;
    if (given.empty()) {
        TellError("cannot tell the folder of zelkctl: give the path of config.xml");
        return kUsageError;
    }
    const std::string configPath = platform::AbsolutePath(given);
    PlatformConfigProbe probe;
    const ConfigCheck check = CheckConfigFile(configPath, DaemonFolder(configPath), probe);
    std::fputs(CheckReport(check, configPath, PlatformFacts()).c_str(), stdout);
    return CheckExitCode(check);
}

}  // namespace zelkctl
