#include "zelkctl/history_command.h"

#include <cstdio>

#include "journal/event.h"
#include "platform/system.h"
#include "platform/terminal_output.h"
#include "zelkctl/command_support.h"
#include "zelkctl/history_report.h"
#include "zelkctl/journal_source.h"
#include "zelkctl/journal_time.h"

namespace zelkctl {

namespace {

int HistoryMain(const std::vector<std::string>& arguments) {
    return RunCommandLine(arguments, ParseHistoryOptions, HistoryHelp, RunHistory);
}

// --since or --until: checked, and given once.
bool TakeTimeOption(const std::string& name, const std::string& value, std::string* target,
                    std::string* error) {
    TimeSpec when;
    if (!SetOnce(name, value, target, error)) {
        return false;
    }
    if (!ParseTimeSpec(value, &when)) {
        *error = "bad value for " + name + ": \"" + value +
                 "\" (YYYY-MM-DD, \"YYYY-MM-DD HH:MM\", -Nm, -Nh or -Nd)";
        return false;
    }
    return true;
}

// The query the options ask for, its times resolved as of `nowSeconds`.
HistoryQuery QueryOf(const HistoryOptions& options, const LocalZone& zone, int64_t nowSeconds) {
    HistoryQuery query;
    query.apps = options.journal.apps;
    query.kinds = options.events;
    query.json = options.json;
    TimeSpec when;
    if (!options.since.empty() && ParseTimeSpec(options.since, &when)) {
        query.sinceMs = ResolveTimeSpec(when, zone, nowSeconds) * kMsPerSecond;
    }
    if (!options.until.empty() && ParseTimeSpec(options.until, &when)) {
        query.untilMs = ResolveTimeSpec(when, zone, nowSeconds) * kMsPerSecond;
    }
    return query;
}

}  // namespace

bool ParseHistoryOptions(const std::vector<std::string>& arguments, HistoryOptions* o,
                         std::string* error) {
    OptionScanner scan(arguments);
    while (scan.Next()) {
        if (scan.Help()) {
            o->help = true;
            continue;
        }
        if (scan.Switch("--json")) {
            o->json = true;
            continue;
        }
        if (!IsJournalOption(scan) && !scan.Is("--since") && !scan.Is("--until") &&
            !scan.Is("--event")) {
            return scan.Unexpected(error);
        }
        std::string value;
        if (!scan.Value("value", &value, error)) {
            return false;
        }
        if (IsJournalOption(scan)) {
            if (!TakeJournalOption(scan.Name(), value, &o->journal, error)) {
                return false;
            }
        } else if (scan.Is("--event")) {
            if (journal::KindByName(value) == journal::EventKind::kUnknown) {
                *error = "unknown event kind \"" + value + "\": the kinds are " + KindList();
                return false;
            }
            o->events.push_back(value);
        } else if (!TakeTimeOption(scan.Name(), value, scan.Is("--since") ? &o->since : &o->until,
                                   error)) {
            return false;
        }
    }
    return CheckJournalChoice(o->journal, error);
}

std::string HistoryHelp() {
    return R"(Usage: zelkctl history [--config PATH | --journal FOLDER] [--app NAME]...
                       [--since TIME] [--until TIME] [--event KIND]... [--json]

Lists what the daemon's event journal holds, in time order: one row per
event with its time, application, kind and details; then, per application,
the time it spent connected, connecting, silent (more than 10 waits
without data, as zelkctl status tells it), failing and down in the range,
and its restarts (a silent one's restart terminates twice and counts
once; an operator's restart counts), launches, trains and mismatches;
then each stretch of maintenance (a pause by an operator): when, how long,
who and why.

  --config PATH     the daemon's config.xml, whose <journal folder="..."/>
                    element names the journal's folder (a relative folder
                    counts from the folder of config.xml); default: the
                    config.xml beside zelkctl
  --journal FOLDER  read the journal files (zelk-events-*.jsonl) in FOLDER
  --app NAME        only this application (again for more), with the control
                    requests that name it; the daemon's own events (start,
                    stop, configuration) stay listed
  --since TIME      from TIME on, and --until TIME: before it. TIME is a date
                    YYYY-MM-DD (its midnight), "YYYY-MM-DD HH:MM" in local
                    time, or -Nm / -Nh / -Nd: N minutes, hours or days ago
  --event KIND      only events of this kind (again for more): )" +
           KindList() + R"(
  --json            the journal's lines themselves (JSON Lines), for
                    scripts; no summary

Lines of the journal that are no event (the last line torn by a power cut,
a line that is not JSON) are skipped, and their number said once. An event
with a time more than a day after the day of its file (a clock set far
ahead) is listed, marked "time suspect", but left out of the summary.

Exit codes: 0 done (also when no event matched), 2 the journal cannot be
found or read, names no application that --app gives (the nearest name is
suggested), or the output cannot be written, 3 a bad command line.
)";
}

namespace {

// Reads the files of the days [fromDay, toDay] into `*report`, its rows
// printed file by file once every application asked for has been met (so
// that a name that matches nothing prints nothing but the error), and
// whether they were all read.
bool ReadHistory(const std::vector<JournalFile>& files, int64_t fromDay, int64_t toDay,
                 HistoryReport* report, FileReading* reading) {
    std::size_t first = 0, last = 0;
    PlanFiles(files, fromDay, toDay, &first, &last);
    reading->fromDay = fromDay;
    reading->lastFullDay = toDay;
    reading->stopAtMs = report->Query().untilMs;
    reading->take = [report](const journal::Event& event, std::string_view line) {
        report->Add(event, line);
    };
    reading->fileDone = [report] {
        if (report->AllAppsMet()) {
            std::fputs(report->TakeOutput().c_str(), stdout);
        }
    };
    reading->suspect.take = [report](const journal::Event& event, std::string_view line) {
        report->AddSuspect(event, line);
    };
    return ReadFiles(files, first, last, reading);
}

// The history on standard output: the exit code before the output is flushed.
int ShowHistory(const HistoryOptions& options) {
    const SystemZone zone;
    const int64_t nowSeconds = platform::CurrentTime();
    const HistoryQuery query = QueryOf(options, zone, nowSeconds);
    if (query.sinceMs >= query.untilMs) {
        TellError("--since must come before --until");
        return kUsageError;
    }
    std::vector<JournalFile> files;
    std::string folder;
    if (!OpenJournal(options.journal, &files, &folder)) {
        return kJournalUnusable;
    }
    const platform::TerminalOutput terminal;
    const int64_t fromDay =
        query.sinceMs == INT64_MIN ? files.front().day : LocalDay(zone, query.sinceMs);
    // The day of the range's last instant: --until at midnight ends the day before.
    const int64_t toDay =
        query.untilMs == INT64_MAX ? files.back().day : LocalDay(zone, query.untilMs - 1);
    HistoryReport report(query, zone);
    FileReading reading(zone);
    const bool allRead = ReadHistory(files, fromDay, toDay, &report, &reading);
    if (!report.AllAppsMet()) {
        TellError(UnknownAppsText(query.apps, report.AppsMet(), ""));
        return kJournalUnusable;
    }
    std::fputs(report.Finish(JournalEnd(zone, files.back().day, nowSeconds * kMsPerSecond)).c_str(),
               stdout);
    std::fflush(stdout);
    TellSkipped(reading, "listed, marked \"time suspect\", and left out of the summary");
    return allRead ? 0 : kJournalUnusable;
}

}  // namespace

int RunHistory(const HistoryOptions& options) {
    return AfterOutput(ShowHistory(options), kJournalUnusable);
}

const CommandEntry kHistoryCommand = {
    "history",
    "  history [--config PATH | --journal FOLDER] [--app NAME]... [--since TIME]\n"
    "          [--until TIME] [--event KIND]... [--json]\n"
    "          what happened, from the daemon's event journal: the events and\n"
    "          each application's time in each state\n",
    HistoryHelp, HistoryMain};

}  // namespace zelkctl
