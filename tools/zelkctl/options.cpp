#include "zelkctl/options.h"

#include <algorithm>

#include "journal/event.h"
#include "supervision/status_state.h"
#include "zelkctl/journal_time.h"
#include "zelkctl/status_view.h"

namespace zelkctl {

namespace {

constexpr int kMaxWatchSeconds = 3600;

constexpr const char* kCommandList = "status, check, history and timeline";

Command CommandNamed(const std::string& name) {
    return name == "status"     ? Command::kStatus
           : name == "check"    ? Command::kCheck
           : name == "history"  ? Command::kHistory
           : name == "timeline" ? Command::kTimeline
                                : Command::kNone;
}

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

// An argument as option name and value: "--name=value" gives both (true);
// anything else is all name (false).
bool SplitOption(const std::string& argument, std::string* name, std::string* value) {
    const std::size_t equals = argument.find('=');
    if (argument.compare(0, 2, "--") == 0 && equals != std::string::npos) {
        *name = argument.substr(0, equals);
        *value = argument.substr(equals + 1);
        return true;
    }
    *name = argument;
    return false;
}

// The options of `status`, from arguments[1] on; false with `*error` set.
bool ParseStatus(const std::vector<std::string>& arguments, Options* o, std::string* error) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::string name;
        std::string value;
        bool hasValue = SplitOption(arguments[i], &name, &value);
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

// True when `text` ends in `end` (lower case), compared without regard to
// ASCII letter case.
bool EndsWithNoCase(const std::string& text, const std::string& end) {
    if (text.size() < end.size()) {
        return false;
    }
    return std::equal(
        end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
        [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

std::string KindList() {
    std::string list;
    for (const std::string& name : journal::KnownKindNames()) {
        list += (list.empty() ? "" : ", ") + name;
    }
    return list;
}

// The options of `history` and `timeline`, from arguments[1] on; false with
// `*error` set.
bool ParseJournalCommand(const std::vector<std::string>& arguments, Options* o,
                         std::string* error) {
    const bool history = o->command == Command::kHistory;
    const std::string command = history ? "history" : "timeline";
    bool fromGiven = false, toGiven = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::string name;
        std::string value;
        bool hasValue = SplitOption(arguments[i], &name, &value);
        const bool takesValue =
            name == "--config" || name == "--journal" || name == "--app" ||
            (history && (name == "--since" || name == "--until" || name == "--event")) ||
            (!history &&
             (name == "--day" || name == "--output" || name == "--from" || name == "--to"));
        if (IsHelp(name) && !hasValue) {
            o->help = true;
            continue;
        }
        if (history && name == "--json" && !hasValue) {
            o->json = true;
            continue;
        }
        if (!takesValue) {
            *error = name.compare(0, 1, "-") == 0
                         ? "unknown option " + arguments[i] + " of " + command
                         : "unexpected argument \"" + arguments[i] + "\" of " + command;
            return false;
        }
        if (!hasValue && i + 1 < arguments.size()) {
            value = arguments[++i];
            hasValue = true;
        }
        if (!hasValue || value.empty()) {
            *error = name + " needs a value";
            return false;
        }
        if (name == "--app") {
            o->apps.push_back(value);
            continue;
        }
        if (name == "--from" || name == "--to") {
            int& minute = name == "--from" ? o->fromMinute : o->toMinute;
            bool& given = name == "--from" ? fromGiven : toGiven;
            if (given) {
                *error = name + " given twice";
                return false;
            }
            if (!ParseClockTime(value, &minute)) {
                *error = "bad value for " + name + ": \"" + value +
                         "\" (a local time HH:MM from 00:00 to 24:00)";
                return false;
            }
            given = true;
            continue;
        }
        if (name == "--event") {
            if (journal::KindByName(value) == journal::EventKind::kUnknown) {
                *error = "unknown event kind \"" + value + "\": the kinds are " + KindList();
                return false;
            }
            o->events.push_back(value);
            continue;
        }
        std::string* target = name == "--config"    ? &o->configPath
                              : name == "--journal" ? &o->journalFolder
                              : name == "--since"   ? &o->since
                              : name == "--until"   ? &o->until
                              : name == "--day"     ? &o->day
                                                    : &o->outputPath;
        if (!target->empty()) {
            *error = name + " given twice";
            return false;
        }
        TimeSpec when;
        int64_t day = 0;
        if ((name == "--since" || name == "--until") && !ParseTimeSpec(value, &when)) {
            *error = "bad value for " + name + ": \"" + value +
                     "\" (YYYY-MM-DD, \"YYYY-MM-DD HH:MM\", -Nh or -Nd)";
            return false;
        }
        if (name == "--day" && !ParseDate(value, &day)) {
            *error = "bad value for --day: \"" + value + "\" (a date YYYY-MM-DD)";
            return false;
        }
        if (name == "--output" && !EndsWithNoCase(value, ".svg") &&
            !EndsWithNoCase(value, ".html") && !EndsWithNoCase(value, ".htm")) {
            *error = "--output takes a file ending in .svg or .html, not \"" + value + "\"";
            return false;
        }
        *target = value;
        o->outputHtml = name == "--output" ? !EndsWithNoCase(value, ".svg") : o->outputHtml;
    }
    if (!o->configPath.empty() && !o->journalFolder.empty()) {
        *error = "--config and --journal exclude each other";
        return false;
    }
    if (o->fromMinute >= o->toMinute) {
        *error = "--from " + ClockTimeText(o->fromMinute) +
                 " must come at least a minute before --to " + ClockTimeText(o->toMinute);
        return false;
    }
    return true;
}

}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& arguments) {
    ParseResult result;
    Options& o = result.options;
    if (arguments.empty()) {
        result.error = "no command given: status, check, history or timeline";
        return result;
    }
    const std::string& first = arguments[0];
    if (IsHelp(first) || first == "help") {
        o.help = true;
        const Command topic = arguments.size() > 1 ? CommandNamed(arguments[1]) : Command::kNone;
        if (topic != Command::kNone) {
            o.command = topic;
        } else if (arguments.size() > 1) {
            result.error = "no help on \"" + arguments[1] + "\": the commands are " + kCommandList;
        }
        return result;
    }
    if (first == "status") {
        o.command = Command::kStatus;
        ParseStatus(arguments, &o, &result.error);
    } else if (first == "check") {
        o.command = Command::kCheck;
        ParseCheck(arguments, &o, &result.error);
    } else if (first == "history" || first == "timeline") {
        o.command = CommandNamed(first);
        ParseJournalCommand(arguments, &o, &result.error);
    } else {
        result.error = "unknown command \"" + first + "\": the commands are " + kCommandList;
    }
    return result;
}

std::string HelpText(Command command) {
    switch (command) {
        case Command::kStatus:
            return R"(Usage: zelkctl status [--config PATH | --file PATH] [--watch [SECONDS]]

Prints what the daemon last wrote to its status snapshot, zelk.prom: one row
per application with its endpoint, its state, the age of its last message,
its trains, result-file mismatches, processes terminated/launches/reconnects
and whether an install command is due, under a line with the snapshot's age.

States: connected; connecting, N waits (no data yet on a new connection);
silent, N waits (connected, more than )" +
                   std::to_string(kSilentWarningWaits) + R"( waits of 3 s without data);
failing, N reads (reads fail in a row); down (from a termination until data
arrives again); not watched (the daemon could not start its watchdog). An
application terminated )" +
                   std::to_string(kFlappingTerminations) +
                   R"( times or more within the last hour is also
flapping, N in 1h.

  --config PATH     the daemon's config.xml, whose <status folder="..."/>
                    element names the folder of zelk.prom (a relative folder
                    counts from the daemon's folder, as zelkctl check tells
                    it); default: the config.xml beside zelkctl
  --file PATH       read this snapshot file instead
  --watch [SECONDS] redraw every SECONDS (default 2) until a key or Ctrl-C

Exit codes, as monitoring plugins give them:
  0  every application connected and the snapshot fresh
  1  some application connecting, silent, failing, down or flapping
  2  the daemon stopped, or its snapshot is older than )" +
                   std::to_string(kStaleSeconds) + R"( seconds (it writes at
     least every )" +
                   std::to_string(kStatusRoutineIntervalSeconds) +
                   R"(), or an application is not watched
  3  no snapshot, or one that cannot be read (also: a bad command line, or
     output that cannot be written)
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
        case Command::kHistory:
            return R"(Usage: zelkctl history [--config PATH | --journal FOLDER] [--app NAME]...
                       [--since TIME] [--until TIME] [--event KIND]... [--json]

Lists what the daemon's event journal holds, in time order: one row per
event with its time, application, kind and details; then, per application,
the time it spent connected, connecting, silent, failing and down in the
range, and its terminations, launches, trains and mismatches.

  --config PATH     the daemon's config.xml, whose <journal folder="..."/>
                    element names the journal's folder (a relative folder
                    counts from the folder of config.xml); default: the
                    config.xml beside zelkctl
  --journal FOLDER  read the journal files (zelk-events-*.jsonl) in FOLDER
  --app NAME        only this application (again for more); the daemon's own
                    events (start, stop, configuration) stay listed
  --since TIME      from TIME on, and --until TIME: before it. TIME is a date
                    YYYY-MM-DD (its midnight), "YYYY-MM-DD HH:MM" in local
                    time, or -Nh / -Nd: N hours or days ago
  --event KIND      only events of this kind (again for more): )" +
                   KindList() + R"(
  --json            the journal's lines themselves (JSON Lines), for
                    scripts; no summary

Lines of the journal that are no event (the last line torn by a power cut,
a line that is not JSON) are skipped, and their number said once.

Exit codes: 0 done (also when no event matched), 2 the journal cannot be
found or read, or the output cannot be written, 3 a bad command line.
)";
        case Command::kTimeline:
            return R"(Usage: zelkctl timeline [--config PATH | --journal FOLDER] [--day YYYY-MM-DD]
                        [--from HH:MM] [--to HH:MM] [--app NAME]...
                        [--output FILE.svg|FILE.html]

Draws one day of the station, or a window of it, from the daemon's event
journal: one lane per application with its states (connected, connecting,
silent, failing, down from a termination to the next connection, not
watched, and the daemon not running) and what the daemon did
(terminations, launches, trains, trains whose result files did not match,
uninstall and install commands).

  --config PATH     the daemon's config.xml, whose <journal folder="..."/>
                    element names the journal's folder; default: the
                    config.xml beside zelkctl
  --journal FOLDER  read the journal files (zelk-events-*.jsonl) in FOLDER
  --day YYYY-MM-DD  the day to draw; default: today
  --from HH:MM      draw only the window of the day from this local time
  --to HH:MM        to this one (24:00: the day's end), at least a minute
                    later; defaults: 00:00 and 24:00. The axis has hour
                    marks, or for a short window ticks every 1 to 30
                    minutes. On the day the clocks go back, a window holds
                    every moment the clock showed a time within it (both
                    passes of the repeated hour)
  --app NAME        only this application (again for more)
  --output FILE     write the picture to FILE instead: an SVG (FILE.svg) or
                    an HTML page (FILE.html), self-contained, with each
                    marker's details shown on hover

Without --output the day is drawn here: one row per application, one
character per 15 minutes (for a window: 96 characters, the legend says how
long each lasts), in colour on a terminal.

Exit codes: 0 done, 2 the journal cannot be found or read, or FILE or the
output cannot be written, 3 a bad command line (also a window the clocks
skip).
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
  history [--config PATH | --journal FOLDER] [--app NAME]... [--since TIME]
          [--until TIME] [--event KIND]... [--json]
          what happened, from the daemon's event journal: the events and
          each application's time in each state
  timeline [--config PATH | --journal FOLDER] [--day YYYY-MM-DD]
          [--from HH:MM] [--to HH:MM] [--app NAME]...
          [--output FILE.svg|FILE.html]
          one day of the station, or a window of it, as a picture, in the
          terminal or as a file

zelkctl help COMMAND, or zelkctl COMMAND --help, tells more.
)";
}

}  // namespace zelkctl
