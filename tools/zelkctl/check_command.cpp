#include "zelkctl/check_command.h"

#include <cstdio>

#include "daemon/platform_config.h"
#include "platform/folder_probe.h"
#include "supervision/config_check.h"
#include "zelkctl/check_view.h"
#include "zelkctl/command_support.h"

namespace zelkctl {

namespace {

int CheckMain(const std::vector<std::string>& arguments) {
    return RunCommandLine(arguments, ParseCheckOptions, CheckHelp, RunCheck);
}

}  // namespace

bool ParseCheckOptions(const std::vector<std::string>& arguments, CheckOptions* o,
                       std::string* error) {
    OptionScanner scan(arguments);
    bool pathGiven = false;
    while (scan.Next()) {
        const std::string& argument = scan.Argument();
        if (scan.Help()) {
            o->help = true;
        } else if (argument.compare(0, 1, "-") == 0 && argument != "-") {
            return scan.Unexpected(error);
        } else if (pathGiven || argument.empty()) {
            *error = argument.empty() ? std::string("check needs a path that is not empty")
                                      : "check takes one path, not also \"" + argument + "\"";
            return false;
        } else {
            o->configPath = argument;
            pathGiven = true;
        }
    }
    return true;
}

std::string CheckHelp() {
    return R"(Usage: zelkctl check [PATH]

Loads a config.xml (default: the one beside zelkctl) with the daemon's own
loader and walk, prints what the daemon will do for each application, then
one line per pitfall found:

  - the file is not loaded (why, at which line and column, and the XML
    engine's report)
  - the top element is not config
  - no application: the daemon runs and watches nothing (zelkctl status
    warns of it too)
  - an element or attribute the daemon does not read where it stands, with
    its line and column and the known name it most resembles (prot for
    port, sokcet for socket, a fileMonitor outside subApp), or written
    twice in one tag (the daemon reads the first)
  - app elements after the 20th (they are named)
  - an empty name (the application's processes are never terminated)
  - no socket element, or an ip that is not dotted IPv4 (it connects to nothing)
  - a port that is not a plain number from 1 to 65535 (with the port it becomes)
  - a subApp placed before the socket element (the daemon does not see it)
  - an empty fileMonitor that ends the list early (with the folders it hides)
  - more than 16 fileMonitor elements, a second picMonitor
  - result folders that do not exist
  - a result folder given as a relative path: the daemon hands it to the
    system as it is, so it depends on the daemon's current folder (named:
    the system folder for the Windows service, the WorkingDirectory of the
    systemd unit)
  - a stopPath or startPath whose program is given by a relative path (the
    shell runs it from that same current folder)
  - a path whose program is not found
  - two applications with the same endpoint or the same name
  - a status folder that cannot be written

Of one kind the first 20 are printed, then how many more there are; the
count at the end is of all of them.

Paths count as the daemon counts them, from the daemon's folder: the folder
of zelkctl when the config.xml beside it is PATH, also through a link (the
Debian package links /opt/zelk/config.xml to /etc/zelk/config.xml, so
"zelkctl check /etc/zelk/config.xml" counts from /opt/zelk); otherwise the
folder of PATH, beside which the daemon is taken to sit. Folders and
programs are checked with the rights of the user running zelkctl, and bare
program names along that user's PATH; the service may see them otherwise.

Exit codes: 0 no pitfall, 1 pitfalls found, 2 the file is not loaded (the
daemon starts no application), 3 a bad command line or output that cannot be
written.
)";
}

int RunCheck(const CheckOptions& options) {
    const std::string given = options.configPath.empty() ? DefaultConfigPath() : options.configPath;
    if (given.empty()) {
        TellError("cannot tell the folder of zelkctl: give the path of config.xml");
        return kUsageError;
    }
    const std::string configPath = platform::AbsolutePath(given);
    PlatformConfigProbe probe;
    const ConfigCheck check = CheckConfigFile(configPath, DaemonFolder(configPath), probe);
    std::fputs(CheckReport(check, configPath, PlatformFacts()).c_str(), stdout);
    return AfterOutput(CheckExitCode(check), kUsageError);
}

const CommandEntry kCheckCommand = {
    "check",
    "  check [PATH]\n"
    "          what the daemon will do with a config.xml, and its pitfalls\n",
    CheckHelp, CheckMain};

}  // namespace zelkctl
