#include "zelkctl/status_command.h"

#include <cstdio>
#include <ctime>

#include "daemon/platform_config.h"
#include "platform/files.h"
#include "platform/host_name.h"
#include "platform/process_identity.h"
#include "platform/service_host.h"
#include "platform/system.h"
#include "platform/watch_terminal.h"
#include "supervision/config_walk.h"
#include "supervision/status_snapshot.h"
#include "supervision/status_state.h"
#include "supervision/utf8_text.h"
#include "zelkctl/command_support.h"
#include "zelkctl/status_view.h"

namespace zelkctl {

namespace {

constexpr int kMaxWatchSeconds = 3600;

// Far more than any snapshot of 20 applications (about 20 KB); a larger
// file is not one.
constexpr int32_t kMaxSnapshotBytes = 4 * 1024 * 1024;

// Whole seconds from 1 to kMaxWatchSeconds; false on anything else.
bool ParseSeconds(const std::string& text, int* seconds) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != text.npos) {
        return false;
    }
    const int value = std::stoi(text);
    if (value < 1 || value > kMaxWatchSeconds) {
        return false;
    }
    *seconds = value;
    return true;
}

std::string ClockTime(int64_t now) {
    std::tm local{};
    char text[16] = "";
    if (platform::LocalTime(now, &local)) {
        std::strftime(text, sizeof text, "%H:%M:%S", &local);
    }
    return text;
}

// The snapshot shown again every few seconds until a key, a signal, or a
// picture that cannot be written (the reader of a pipe has gone): the code
// of the last picture shown.
int Watch(const std::string& path, int seconds) {
    platform::WatchTerminal terminal;
    const std::string footer =
        "every " + std::to_string(seconds) + "s; press a key or Ctrl-C to stop";
    int exitCode = kStatusUnknown;
    do {
        const int64_t now = platform::CurrentTime();
        const StatusResult result = ReadStatus(path, now);
        exitCode = result.exitCode;
        const std::string body =
            result.error.empty() ? result.text : "UNKNOWN: " + result.error + "\n";
        if (!terminal.Show(body + "\n" + ClockTime(now) + ", " + footer + "\n")) {
            break;
        }
    } while (!terminal.WaitForKey(static_cast<unsigned>(seconds) * 1000u));
    return exitCode;
}

// Whether the daemon that wrote `snapshot` is known to be gone: it ran on
// this host and its process no longer runs. A reader elsewhere, or a system
// that does not tell, waits for the snapshot to grow stale instead.
bool WriterGone(const StatusSnapshot& snapshot) {
    if (!WriterToAsk(snapshot, AnsiToUtf8(platform::HostName()))) {
        return false;
    }
    const platform::ProcessIdentity writer{snapshot.writer.id, snapshot.writer.start};
    return platform::ProcessRuns(writer) == platform::ProcessLiveness::kGone;
}

int StatusMain(const std::vector<std::string>& arguments) {
    return RunCommandLine(arguments, ParseStatusOptions, StatusHelp, RunStatus);
}

}  // namespace

bool ParseStatusOptions(const std::vector<std::string>& arguments, StatusOptions* o,
                        std::string* error) {
    OptionScanner scan(arguments);
    while (scan.Next()) {
        std::string value;
        if (scan.Help()) {
            o->help = true;
        } else if (scan.Is("--watch")) {
            o->watch = true;
            if (scan.OptionalValue(&value) && !ParseSeconds(value, &o->watchSeconds)) {
                *error = "bad value for --watch: \"" + value + "\" (whole seconds from 1 to " +
                         std::to_string(kMaxWatchSeconds) + ")";
                return false;
            }
        } else if (scan.Is("--config") || scan.Is("--file")) {
            if (!scan.Value("path", &value, error) ||
                !SetOnce(scan.Name(), value,
                         scan.Is("--config") ? &o->configPath : &o->snapshotPath, error)) {
                return false;
            }
        } else {
            return scan.Unexpected(error);
        }
    }
    return ConfigExcludes(o->configPath, o->snapshotPath, "--file", error);
}

std::string StatusHelp() {
    return R"(Usage: zelkctl status [--config PATH | --file PATH] [--watch [SECONDS]]

Prints what the daemon last wrote to its status snapshot, zelk.prom: one row
per application with its endpoint, its state, the age of its last message,
its trains, result-file mismatches, processes terminated/launches/reconnects
and whether an install command is due, under a line with the snapshot's age.

States: connected; connecting, N waits (no data yet on a new connection);
silent, N waits (connected, more than )" +
           std::to_string(journal::kSilentWaitsTolerated) + R"( waits of 3 s without data);
failing, N reads (reads fail in a row); down (from a termination until data
arrives again); not watched (the daemon could not start its watchdog). An
application restarted )" +
           std::to_string(journal::kFlappingRestarts) +
           R"( times or more within the last hour is also
flapping, N in 1h (a restart: a termination of an application that was not
down already, so the two terminations of a silent one's restart count once).
Once the daemon has stopped, or is gone, each row keeps its last state and
the ages run to now.

  --config PATH     the daemon's config.xml, whose <status folder="..."/>
                    element names the folder of zelk.prom (a relative folder
                    counts from the daemon's folder, as zelkctl check tells
                    it); default: the config.xml beside zelkctl
  --file PATH       read this snapshot file instead
  --watch [SECONDS] redraw every SECONDS (default 2) until a key or Ctrl-C

Exit codes, as monitoring plugins give them:
  0  every application connected and the snapshot fresh
  1  some application connecting, silent, failing, down or flapping, in
     maintenance ("maintenance": paused with zelkctl pause, no action taken;
     who, why and until when are listed under the table), or config.xml
     names no application (nothing is watched)
  2  the daemon stopped, its process is gone (told at once on the daemon's
     own computer), or its snapshot is older than )" +
           std::to_string(kStaleSeconds) + R"( seconds (it writes at
     least every )" +
           std::to_string(kStatusRoutineIntervalSeconds) +
           R"(), or an application is not watched
  3  no snapshot, or one that cannot be read (also: a bad command line, or
     output that cannot be written)
With --watch, the code of the last picture shown.
)";
}

StatusResult ReadStatus(const std::string& path, int64_t now) {
    StatusResult result;
    std::string text;
    std::string reason;
    StatusSnapshot snapshot;
    if (!ReadSmallFile(path, kMaxSnapshotBytes, "status snapshot", &text, &reason)) {
        result.error = reason;
        if (!platform::PathExists(path)) {
            result.error += "; " + NoSnapshotAdvice(platform::kServiceStatusCommand);
        }
    } else if (!ParseStatus(text, &snapshot, &reason)) {
        result.error = path + " is not a status snapshot: " + reason;
    } else {
        const bool writerGone = WriterGone(snapshot);
        result.exitCode = StatusExitCode(snapshot, now, writerGone);
        result.text = StatusReport(snapshot, path, now, platform::LocalTime, writerGone);
    }
    return result;
}

bool FindSnapshot(const StatusOptions& options, std::string* path, std::string* error) {
    if (!options.snapshotPath.empty()) {
        *path = options.snapshotPath;
        return true;
    }
    std::string folder;
    std::string configPath;
    const auto statusFolder = [](CXmlDocument& document, const std::string& daemonFolder) {
        return StatusFolder(document, daemonFolder, PlatformFacts());
    };
    if (!FolderFromConfig(options.configPath, "--file", statusFolder, &folder, &configPath,
                          error)) {
        if (error->empty()) {
            *error = configPath +
                     " has no <status folder=\"...\"/> element: the daemon writes no "
                     "status snapshot; " +
                     NoStatusElementAdvice(platform::kServiceStatusCommand);
        }
        return false;
    }
    *path = NormaliseFolder(folder, platform::kPathSeparator) + kStatusFileName;
    return true;
}

int RunStatus(const StatusOptions& options) {
    std::string path;
    std::string error;
    if (!FindSnapshot(options, &path, &error)) {
        TellError(error);
        return kStatusUnknown;
    }
    if (options.watch) {
        return Watch(path, options.watchSeconds);
    }
    const StatusResult result = ReadStatus(path, platform::CurrentTime());
    if (!result.error.empty()) {
        TellError(result.error);
    }
    std::fputs(result.text.c_str(), stdout);
    return AfterOutput(result.exitCode, kStatusUnknown);
}

const CommandEntry kStatusCommand = {
    "status",
    "  status [--config PATH | --file PATH] [--watch [SECONDS]]\n"
    "          the state of every watched application, from the daemon's status\n"
    "          snapshot\n",
    StatusHelp, StatusMain};

}  // namespace zelkctl
