#include "zelkctl/control_command.h"

#include <algorithm>
#include <cstdio>

#include "platform/control_channel.h"
#include "platform/folder_probe.h"
#include "zelkctl/command_support.h"

namespace zelkctl {

namespace {

constexpr unsigned kCallTimeoutMs = 5000;
// A reload waits for the watchdogs that go to end their pass and starts the
// new ones a quarter of a second apart.
constexpr unsigned kReloadTimeoutMs = 60000;
constexpr int kRefused = 1;
constexpr int kNoDaemon = 2;

// The channels to try: the console daemon's of the config's folder first,
// then the service's.
std::vector<std::string> Channels(const std::string& configPath) {
    std::vector<std::string> channels;
    const std::string given = configPath.empty() ? DefaultConfigPath() : configPath;
    if (!given.empty()) {
        channels.push_back(
            platform::ConsoleControlChannel(DaemonFolder(platform::AbsolutePath(given))));
    }
    channels.push_back(platform::ServiceControlChannel());
    return channels;
}

int RunControl(const ControlOptions& options) {
    const std::string line = FormatControlRequest(options.request);
    platform::ControlCallResult result;
    for (const std::string& channel : Channels(options.configPath)) {
        result = platform::CallControlChannel(
            channel, line,
            options.request.op == ControlOp::kReload ? kReloadTimeoutMs : kCallTimeoutMs);
        if (result.status != platform::ControlCallStatus::kNoChannel) {
            break;
        }
    }
    if (result.status != platform::ControlCallStatus::kAnswered) {
        TellError(result.status == platform::ControlCallStatus::kDenied
                      ? result.error +
                            " (only an administrator of the station may control "
                            "ZELK_Daemon)"
                      : result.error);
        return kNoDaemon;
    }
    ControlAnswer answer;
    if (!ParseControlAnswer(result.answer, &answer)) {
        TellError("the daemon's answer is not understood: " + result.answer);
        return kNoDaemon;
    }
    if (!answer.ok) {
        TellError(answer.message);
        for (const std::string& finding : answer.findings) {
            if (answer.message.find(finding) == std::string::npos) {  // not told already
                TellError("  " + finding);
            }
        }
        return kRefused;
    }
    std::printf("%s\n", answer.message.c_str());
    if (options.request.op == ControlOp::kReload) {
        std::fputs(ReloadDetails(answer).c_str(), stdout);
    }
    return AfterOutput(0, kUsageError);
}

const char* const kControlHelp = R"(
Acts on one application of the running daemon through its control channel:
the console daemon's of the config's folder (--config, default the
config.xml beside zelkctl) first, then the service's. Only root (or the
<control group> of config.xml), SYSTEM or an elevated Administrator, or the
user running a console daemon, may do it; every request, granted or
refused, is recorded in the journal, the log and the administrator events.

A paused application is still connected and read, but never terminated,
launched or reinstalled, until it is resumed or its pause ends (default one
hour, at most <control maxPauseHours>, 24 by default); its counts start from
zero then. A pause outlives a restart of the daemon. DURATION: 90s, 30m,
2h, 1d, or seconds. zelkctl status shows a paused application as
"maintenance".

Exit codes: 0 done, 1 refused by the daemon, 2 no daemon answered, 3 a bad
command line.
)";

const char* const kReloadHelp = R"(
Makes the running daemon read config.xml again: the console daemon's of the
config's folder (--config, default the config.xml beside zelkctl) first,
then the service's. Applications are paired by name: an unchanged one's
watchdog is not touched (its connection, counts and pause stay), a changed
one's is replaced (its pause kept), a removed one's ends and its processes
are left running, a new one gets a watchdog. The <status>, <journal>,
<control> and <evidence> settings follow the file. When the file does not
load, or zelkctl check finds it wrong (no application, an application
without a name or endpoint, two on one name or endpoint), nothing changes
and the findings are shown. --dry-run only shows what would change.

Exit codes: 0 done, 1 refused by the daemon, 2 no daemon answered, 3 a bad
command line.
)";

const CommandEntry& EntryOf(ControlOp op);

template <ControlOp op>
std::string ControlHelp() {
    return std::string("Usage: zelkctl") + (EntryOf(op).summary + 1) +
           (op == ControlOp::kReload ? kReloadHelp : kControlHelp);
}

template <ControlOp op>
bool ParseFor(const std::vector<std::string>& arguments, ControlOptions* options,
              std::string* error) {
    options->request.op = op;
    return ParseControlOptions(arguments, options, error);
}

template <ControlOp op>
int ControlMain(const std::vector<std::string>& arguments) {
    return RunCommandLine(arguments, ParseFor<op>, ControlHelp<op>, RunControl);
}

}  // namespace

int64_t ParseDuration(const std::string& text) {
    if (text.empty() || text.size() > 9) {
        return 0;
    }
    int64_t unit = 1;
    std::string digits = text;
    switch (text.back()) {
        case 's':
            digits.pop_back();
            break;
        case 'm':
            unit = 60;
            digits.pop_back();
            break;
        case 'h':
            unit = 3600;
            digits.pop_back();
            break;
        case 'd':
            unit = 86400;
            digits.pop_back();
            break;
        default:
            break;
    }
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
        return 0;
    }
    return std::stoll(digits) * unit;
}

bool ParseControlOptions(const std::vector<std::string>& arguments, ControlOptions* o,
                         std::string* error) {
    OptionScanner scan(arguments);
    const ControlOp op = o->request.op;
    std::string duration;
    while (scan.Next()) {
        const std::string& argument = scan.Argument();
        if (scan.Help()) {
            o->help = true;
        } else if (scan.Is("--reason") && op != ControlOp::kResume) {
            if (!scan.Value("text", &o->request.reason, error)) {
                return false;
            }
        } else if (scan.Is("--for") && op == ControlOp::kPause) {
            if (!scan.Value("duration", &duration, error)) {
                return false;
            }
        } else if (scan.Is("--dry-run") && op == ControlOp::kReload) {
            o->request.dryRun = true;
        } else if (scan.Is("--config")) {
            if (!scan.Value("path", &o->configPath, error)) {
                return false;
            }
        } else if (argument.compare(0, 1, "-") == 0 || !o->request.app.empty() ||
                   op == ControlOp::kReload) {
            return scan.Unexpected(error);
        } else {
            o->request.app = argument;
        }
    }
    if (o->help || op == ControlOp::kReload) {
        return true;
    }
    if (o->request.app.empty()) {
        *error = arguments[0] + " needs the application's name";
        return false;
    }
    if (op != ControlOp::kResume && o->request.reason.empty()) {
        *error = arguments[0] + " needs --reason TEXT: it is recorded with the request";
        return false;
    }
    if (!duration.empty()) {
        o->request.seconds = ParseDuration(duration);
        if (o->request.seconds <= 0) {
            *error = "--for takes 90s, 30m, 2h, 1d or seconds, not \"" + duration + "\"";
            return false;
        }
    }
    return true;
}

const CommandEntry kPauseCommand = {
    "pause",
    "  pause APP --reason TEXT [--for DURATION] [--config PATH]\n"
    "          maintenance: the daemon takes no action on APP until resumed\n",
    ControlHelp<ControlOp::kPause>, ControlMain<ControlOp::kPause>};
const CommandEntry kResumeCommand = {
    "resume",
    "  resume APP [--config PATH]\n"
    "          ends APP's maintenance: supervised again, counting from zero\n",
    ControlHelp<ControlOp::kResume>, ControlMain<ControlOp::kResume>};
const CommandEntry kRestartCommand = {
    "restart",
    "  restart APP --reason TEXT [--config PATH]\n"
    "          terminates and launches APP now, then counts from zero\n",
    ControlHelp<ControlOp::kRestart>, ControlMain<ControlOp::kRestart>};

const CommandEntry kReloadCommand = {
    "reload",
    "  reload [--dry-run] [--config PATH]\n"
    "          the daemon reads config.xml again and applies what changed\n",
    ControlHelp<ControlOp::kReload>, ControlMain<ControlOp::kReload>};

std::string ReloadDetails(const ControlAnswer& answer) {
    std::string text;
    for (const ReloadChange& change : answer.changes) {
        text += "  " + change.change +
                std::string(9 - std::min<std::size_t>(change.change.size(), 8), ' ') + change.app;
        if (!change.fields.empty()) {
            text += " (";
            for (std::size_t i = 0; i < change.fields.size(); ++i) {
                text += (i > 0 ? ", " : "") + change.fields[i];
            }
            text += ")";
        }
        if (change.change == "removed") {
            text += ": its processes are left running";
        }
        text += "\n";
    }
    for (const std::string& setting : answer.settings) {
        text += "  <" + setting + "> settings changed\n";
    }
    for (const std::string& finding : answer.findings) {
        text += "  finding: " + finding + "\n";
    }
    return text;
}

namespace {

const CommandEntry& EntryOf(ControlOp op) {
    return op == ControlOp::kPause    ? kPauseCommand
           : op == ControlOp::kResume ? kResumeCommand
           : op == ControlOp::kReload ? kReloadCommand
                                      : kRestartCommand;
}

}  // namespace

}  // namespace zelkctl
