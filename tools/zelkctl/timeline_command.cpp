#include "zelkctl/timeline_command.h"

#include <algorithm>
#include <cstdio>

#include "platform/error_text.h"
#include "platform/files.h"
#include "platform/host_name.h"
#include "platform/system.h"
#include "platform/terminal_output.h"
#include "zelkctl/command_support.h"
#include "zelkctl/journal_source.h"
#include "zelkctl/timeline_axis.h"
#include "zelkctl/timeline_spans.h"
#include "zelkctl/timeline_svg.h"
#include "zelkctl/timeline_text.h"

namespace zelkctl {

namespace {

int TimelineMain(const std::vector<std::string>& arguments) {
    return RunCommandLine(arguments, ParseTimelineOptions, TimelineHelp, RunTimeline);
}

// --from or --to, given once.
bool TakeClockOption(const std::string& name, const std::string& value, int* minute, bool* given,
                     std::string* error) {
    if (*given) {
        *error = name + " given twice";
        return false;
    }
    if (!ParseClockTime(value, minute)) {
        *error = "bad value for " + name + ": \"" + value +
                 "\" (a local time HH:MM from 00:00 to 24:00)";
        return false;
    }
    *given = true;
    return true;
}

// --day or --output, given once and checked.
bool TakeDayOrOutput(const std::string& name, const std::string& value, TimelineOptions* o,
                     std::string* error) {
    if (!SetOnce(name, value, name == "--day" ? &o->day : &o->outputPath, error)) {
        return false;
    }
    int64_t day = 0;
    if (name == "--day" && !ParseDate(value, &day)) {
        *error = "bad value for --day: \"" + value + "\" (a date YYYY-MM-DD)";
        return false;
    }
    if (name == "--output") {
        if (!EndsWithNoCase(value, ".svg") && !EndsWithNoCase(value, ".html") &&
            !EndsWithNoCase(value, ".htm")) {
            *error = "--output takes a file ending in .svg or .html, not \"" + value + "\"";
            return false;
        }
        o->outputHtml = !EndsWithNoCase(value, ".svg");
    }
    return true;
}

// The timeline of `window` from the journal `files`, and whether every
// file of its day was read; what the reading met is left in `*reading`.
bool ReadTimeline(const std::vector<JournalFile>& files, const DayWindow& window, int64_t nowMs,
                  Timeline* timeline, FileReading* reading) {
    TimelineBuilder builder(window.startMs, window.endMs, true);
    std::size_t first = 0, last = 0;
    PlanFiles(files, window.day, window.day, &first, &last);
    reading->fromDay = window.day;
    reading->lastFullDay = window.day;
    reading->stopAtMs = window.endMs;
    reading->take = [&](const journal::Event& event, std::string_view) { builder.Add(event); };
    const bool allRead = ReadFiles(files, first, last, reading);
    reading->take = nullptr;  // it holds the builder, which ends here
    *timeline =
        builder.Finish(std::min(JournalEnd(reading->zone, files.back().day, nowMs), window.endMs));
    return allRead;
}

// Keeps the lanes of the applications in `apps` (all when it is empty).
// False, with the error told, when one of them has no lane on `day`.
bool ChooseLanes(const std::vector<std::string>& apps, int64_t day, Timeline* timeline) {
    if (apps.empty()) {
        return true;
    }
    std::vector<std::string> names;
    for (const Lane& lane : timeline->lanes) {
        names.push_back(lane.name);
    }
    const std::string unknown = UnknownAppsText(apps, names, " for " + DateText(day));
    if (!unknown.empty()) {
        TellError(unknown);
        return false;
    }
    std::vector<Lane> chosen;
    for (Lane& lane : timeline->lanes) {
        if (std::find(apps.begin(), apps.end(), lane.name) != apps.end()) {
            chosen.push_back(std::move(lane));
        }
    }
    timeline->lanes = std::move(chosen);
    return true;
}

// Writes `picture` to `path`: beside it first and renamed over it, so that
// a reader (a browser, a mail client) never sees half a picture. False,
// with the error told, when it could not be written.
bool WritePicture(const std::string& path, const std::string& picture) {
    const std::string temporary = path + ".tmp";
    int32_t error = 0;
    platform::RemoveFile(temporary);
    const bool written =
        platform::WriteNewFile(temporary, picture, &error) == platform::NewFileResult::kWritten &&
        platform::RenameOver(temporary, path, &error);
    if (!written) {
        platform::RemoveFile(temporary);
        TellError("cannot write " + path + ": " + platform::ErrorText(error));
    }
    return written;
}

// The timeline drawn: the exit code before the output is flushed.
int ShowTimeline(const TimelineOptions& options) {
    const SystemZone zone;
    const int64_t nowMs = platform::CurrentTime() * kMsPerSecond;
    int64_t day = LocalDay(zone, nowMs);
    if (!options.day.empty() && !ParseDate(options.day, &day)) {
        return kUsageError;
    }
    DayWindow window = MakeDayWindow(zone, day, options.fromMinute, options.toMinute);
    if (window.endMs - window.startMs < kMsPerMinute) {
        TellError(ClockTimeText(options.fromMinute) + " to " + ClockTimeText(options.toMinute) +
                  " does not occur on " + DateText(day) + ": the clocks skip it");
        return kUsageError;
    }
    std::vector<JournalFile> files;
    std::string folder;
    if (!OpenJournal(options.journal, &files, &folder)) {
        return kJournalUnusable;
    }
    Timeline timeline;
    FileReading reading(zone);
    int code = ReadTimeline(files, window, nowMs, &timeline, &reading) ? 0 : kJournalUnusable;
    if (!ChooseLanes(options.journal.apps, window.day, &timeline)) {
        return kJournalUnusable;
    }
    int64_t firstMs = 0, lastMs = 0;
    if (!options.windowGiven && TimelineRange(timeline, &firstMs, &lastMs) &&
        lastMs - firstMs < kZoomBelowMs) {
        window = ZoomedWindow(zone, window, firstMs, lastMs);
    }
    std::string station = platform::HostName();
    if (station.empty()) {
        station = "(unknown host)";
    }
    if (options.outputPath.empty()) {
        const platform::TerminalOutput terminal;
        std::fputs(TextTimeline(timeline, window, zone, station, terminal.TakesColour()).c_str(),
                   stdout);
        std::fflush(stdout);
    } else if (!WritePicture(options.outputPath,
                             options.outputHtml
                                 ? TimelineHtml(timeline, window, zone, station, nowMs)
                                 : TimelineSvg(timeline, window, zone, station, nowMs))) {
        code = kJournalUnusable;
    }
    TellSkipped(reading, "left out of the timeline");
    return code;
}

}  // namespace

bool ParseTimelineOptions(const std::vector<std::string>& arguments, TimelineOptions* o,
                          std::string* error) {
    OptionScanner scan(arguments);
    bool fromGiven = false, toGiven = false;
    while (scan.Next()) {
        if (scan.Help()) {
            o->help = true;
            continue;
        }
        const bool clock = scan.Is("--from") || scan.Is("--to");
        if (!IsJournalOption(scan) && !clock && !scan.Is("--day") && !scan.Is("--output")) {
            return scan.Unexpected(error);
        }
        std::string value;
        if (!scan.Value("value", &value, error)) {
            return false;
        }
        const bool taken =
            IsJournalOption(scan) ? TakeJournalOption(scan.Name(), value, &o->journal, error)
            : clock               ? TakeClockOption(scan.Name(), value,
                                      scan.Is("--from") ? &o->fromMinute : &o->toMinute,
                                      scan.Is("--from") ? &fromGiven : &toGiven, error)
                                  : TakeDayOrOutput(scan.Name(), value, o, error);
        if (!taken) {
            return false;
        }
    }
    if (!CheckJournalChoice(o->journal, error)) {
        return false;
    }
    o->windowGiven = fromGiven || toGiven;
    if (o->fromMinute >= o->toMinute) {
        *error = "--from " + ClockTimeText(o->fromMinute) +
                 " must come at least a minute before --to " + ClockTimeText(o->toMinute);
        return false;
    }
    return true;
}

std::string TimelineHelp() {
    return R"(Usage: zelkctl timeline [--config PATH | --journal FOLDER] [--day YYYY-MM-DD]
                        [--from HH:MM] [--to HH:MM] [--app NAME]...
                        [--output FILE.svg|FILE.html]

Draws one day of the station, or a window of it, from the daemon's event
journal: one lane per application with its states (connected, connecting,
silent, failing, down from a termination to the next connection, not
watched, and the daemon not running; maintenance, an operator's pause,
over them) and what the daemon did
(restarts, launches, trains, trains whose result files did not match,
uninstall and install commands, dumps kept as evidence).

  --config PATH     the daemon's config.xml, whose <journal folder="..."/>
                    element names the journal's folder; default: the
                    config.xml beside zelkctl
  --journal FOLDER  read the journal files (zelk-events-*.jsonl) in FOLDER
  --day YYYY-MM-DD  the day to draw; default: today
  --from HH:MM      draw only the window of the day from this local time
  --to HH:MM        to this one (24:00: the day's end), at least a minute
                    later; defaults: 00:00 and 24:00, or, when the journal
                    holds less than 12 hours of the day (a short run), the
                    stretch it holds, in whole ticks. The axis has hour
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

Exit codes: 0 done, 2 the journal cannot be found or read, has no lane of
the day for an application --app gives (the nearest name is suggested), or
FILE or the output cannot be written, 3 a bad command line (also a window
the clocks skip).
)";
}

int RunTimeline(const TimelineOptions& options) {
    return AfterOutput(ShowTimeline(options), kJournalUnusable);
}

const CommandEntry kTimelineCommand = {
    "timeline",
    "  timeline [--config PATH | --journal FOLDER] [--day YYYY-MM-DD]\n"
    "          [--from HH:MM] [--to HH:MM] [--app NAME]...\n"
    "          [--output FILE.svg|FILE.html]\n"
    "          one day of the station, or a window of it, as a picture, in the\n"
    "          terminal or as a file\n",
    TimelineHelp, TimelineMain};

}  // namespace zelkctl
