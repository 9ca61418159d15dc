#include "zelkctl/options.h"

namespace zelkctl {

namespace {

constexpr int kMaxWatchSeconds = 3600;

bool IsHelp(const std::string& argument) {
    return argument == "--help" || argument == "-h" || argument == "/?";
}

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

// The options of `status`, from arguments[1] on; false with `*error` set.
bool ParseStatus(const std::vector<std::string>& arguments, Options* o, std::string* error) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::string value;
        bool hasValue = false;
        const std::size_t equals = name.find('=');
        if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasValue = true;
        }
        if (IsHelp(name) && !hasValue) {
            o->help = true;
        } else if (name == "--watch") {
            o->watch = true;
            // The value is optional: the next argument is taken when it is no option.
            if (!hasValue && i + 1 < arguments.size() && arguments[i + 1].compare(0, 1, "-") != 0) {
                value = arguments[++i];
                hasValue = true;
            }
            if (hasValue && !ParseSeconds(value, &o->watchSeconds)) {
                *error = "bad value for --watch: \"" + value + "\" (whole seconds from 1 to " +
                         std::to_string(kMaxWatchSeconds) + ")";
                return false;
            }
        } else if (name == "--config" || name == "--file") {
            if (!hasValue && i + 1 < arguments.size()) {
                value = arguments[++i];
                hasValue = true;
            }
            std::string& target = name == "--config" ? o->configPath : o->snapshotPath;
            if (!hasValue || value.empty()) {
                *error = name + " needs a path";
                return false;
            }
            if (!target.empty()) {
                *error = name + " given twice";
                return false;
            }
            target = value;
        } else if (name.compare(0, 1, "-") == 0) {
            *error = "unknown option " + arguments[i] + " of status";
            return false;
        } else {
            *error = "unexpected argument \"" + arguments[i] + "\" of status";
            return false;
        }
    }
    if (!o->configPath.empty() && !o->snapshotPath.empty()) {
        *error = "--config and --file exclude each other";
        return false;
    }
    return true;
}

// The arguments of `check`, from arguments[1] on: at most one path.
bool ParseCheck(const std::vector<std::string>& arguments, Options* o, std::string* error) {
    bool pathGiven = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (IsHelp(argument)) {
            o->help = true;
        } else if (argument.compare(0, 1, "-") == 0 && argument != "-") {
            *error = "unknown option " + argument + " of check";
            return false;
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

}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& arguments) {
    ParseResult result;
    Options& o = result.options;
    if (arguments.empty()) {
        result.error = "no command given: status or check";
        return result;
    }
    const std::string& first = arguments[0];
    if (IsHelp(first) || first == "help") {
        o.help = true;
        if (arguments.size() > 1 && (arguments[1] == "status" || arguments[1] == "check")) {
            o.command = arguments[1] == "status" ? Command::kStatus : Command::kCheck;
        } else if (arguments.size() > 1) {
            result.error = "no help on \"" + arguments[1] + "\": the commands are status and check";
        }
        return result;
    }
    if (first == "status") {
        o.command = Command::kStatus;
        ParseStatus(arguments, &o, &result.error);
    } else if (first == "check") {
        o.command = Command::kCheck;
        ParseCheck(arguments, &o, &result.error);
    } else {
        result.error = "unknown command \"" + first + "\": the commands are status and check";
    }
    return result;
}

std::string HelpText(Command command) {
    switch (command) {
        case Command::kStatus:
            return R"(Usage: zelkctl status [--config PATH | --file PATH] [--watch [SECONDS]]

Prints what the daemon last wrote to its status snapshot, zelk.prom: one row
per application with its endpoint, its state (connected; connecting, N waits;
silent, N waits; failing, N reads), the age of its last message, its trains,
result-file mismatches, terminations/launches/reconnects and whether an
install command is due, under a line with the snapshot's age.

  --config PATH     the daemon's config.xml, whose <status folder="..."/>
                    element names the folder of zelk.prom (a relative folder
                    counts from the daemon's folder, as zelkctl check tells
                    it); default: the config.xml beside zelkctl
  --file PATH       read this snapshot file instead
  --watch [SECONDS] redraw every SECONDS (default 2) until a key or Ctrl-C

Exit codes, as monitoring plugins give them:
  0  every application connected and the snapshot fresh
  1  some application not connected (connecting, or its reads failing)
  2  the snapshot older than 30 seconds: the daemon is stopped or stuck
  3  no snapshot, or one that cannot be read (also: a bad command line)
With --watch, the code of the last picture shown.
)";
        case Command::kCheck:
            return R"(Usage: zelkctl check [PATH]

Loads a config.xml (default: the one beside zelkctl) with the daemon's own
loader and walk, prints what the daemon will do for each application, then
one line per pitfall found:

  - the file is not loaded (why, at which line and column, and the XML
    engine's report)
  - the top element is not config
  - an element or attribute the daemon does not read where it stands, with
    its line and column and the known name it most resembles (prot for
    port, sokcet for socket, a fileMonitor outside subApp)
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
  - a path whose program is not found
  - two applications with the same endpoint or the same name
  - a status folder that cannot be written

Paths count as the daemon counts them, from the daemon's folder: the folder
of zelkctl when the config.xml beside it is PATH, also through a link (the
Debian package links /opt/zelk/config.xml to /etc/zelk/config.xml, so
"zelkctl check /etc/zelk/config.xml" counts from /opt/zelk); otherwise the
folder of PATH, beside which the daemon is taken to sit. Folders and
programs are checked with the rights of the user running zelkctl, and bare
program names along that user's PATH; the service may see them otherwise.

Exit codes: 0 no pitfall, 1 pitfalls found, 2 the file is not loaded (the
daemon starts no application), 3 a bad command line.
)";
        case Command::kNone:
            break;
    }
    return R"(Usage: zelkctl COMMAND [OPTIONS]

The operator's tool of ZELK_Daemon.

Commands:
  status [--config PATH | --file PATH] [--watch [SECONDS]]
          the state of every watched application, from the daemon's status
          snapshot
  check [PATH]
          what the daemon will do with a config.xml, and its pitfalls

zelkctl help COMMAND, or zelkctl COMMAND --help, tells more.
)";
}

}  // namespace zelkctl
