#include "zelkctl/journal_commands.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

#include "journal/line.h"
#include "journal/time_format.h"
#include "platform/error_text.h"
#include "platform/files.h"
#include "platform/folder_probe.h"
#include "platform/host_name.h"
#include "platform/system.h"
#include "platform/terminal_output.h"
#include "zelkctl/commands.h"
#include "zelkctl/history_report.h"
#include "zelkctl/journal_reader.h"
#include "zelkctl/journal_source.h"
#include "zelkctl/journal_time.h"
#include "zelkctl/timeline_spans.h"
#include "zelkctl/timeline_svg.h"
#include "zelkctl/timeline_text.h"

namespace zelkctl {

namespace {

// The time zone of this computer, as the C library's local time tells it.
class SystemZone : public LocalZone {
  public:
    int OffsetMinutesAt(int64_t utcSeconds) const override {
        std::tm local{};
        if (!platform::LocalTime(utcSeconds, &local)) {
            return 0;
        }
        return journal::UtcOffsetMinutes(utcSeconds, local);
    }
};

// The files to read for [fromDay, toDay] of `files` (oldest first), as a
// range of indices [*first, *last]. It starts at the last file before
// fromDay that holds a daemon start, as every state in the range may go
// back to it (or at the first file), and ends at the first file after
// toDay, which may tell that the daemon ended within the range. `files` is
// not empty.
void PlanFiles(const std::vector<JournalFile>& files, int64_t fromDay, int64_t toDay,
               std::size_t* first, std::size_t* last) {
    std::size_t begin = 0;
    while (begin < files.size() && files[begin].day < fromDay) {
        ++begin;
    }
    // Back from the day before the range for a start of the daemon; a file
    // that cannot be read is passed over here and reported when read.
    std::size_t start = begin;
    while (start > 0) {
        --start;
        std::string text;
        std::string ignored;
        if (ReadJournalFile(files[start].path, &text, &ignored) &&
            journal::MentionsDaemonStart(text)) {
            break;
        }
    }
    std::size_t end = begin;
    while (end < files.size() && files[end].day <= toDay) {
        ++end;
    }
    *first = start;
    *last = end < files.size() ? end : files.size() - 1;
}

// Reads files [first, last] in order, handing their events to `take` and
// calling `fileDone` after each file; past `lastFullDay` only up to the
// first event at or after `stopAtMs`. Errors are told as they come; the
// skipped lines are counted into `*skipped`. False when a file could not
// be read.
bool ReadFiles(const std::vector<JournalFile>& files, std::size_t first, std::size_t last,
               int64_t lastFullDay, int64_t stopAtMs, int64_t* skipped,
               const JournalEventSink& take, const std::function<void()>& fileDone) {
    bool allRead = true;
    std::string text;  // one buffer for every file
    for (std::size_t i = first; i <= last; ++i) {
        std::string error;
        if (!ReadJournalFile(files[i].path, &text, &error)) {
            TellError(error);
            allRead = false;
            continue;
        }
        *skipped += ReadJournalText(text, take, files[i].day > lastFullDay ? stopAtMs : INT64_MAX);
        if (fileDone) {
            fileDone();
        }
    }
    return allRead;
}

// The day number of the local date at `utcMs`.
int64_t LocalDay(const LocalZone& zone, int64_t utcMs) {
    const int64_t seconds = utcMs / kMsPerSecond;
    const int64_t local = seconds + int64_t{zone.OffsetMinutesAt(seconds)} * 60;
    return local / kSecondsPerDay - (local % kSecondsPerDay < 0 ? 1 : 0);
}

bool OpenJournal(const Options& options, std::vector<JournalFile>* files, std::string* folder) {
    std::string error;
    if (!FindJournalFolder(options, folder, &error)) {
        TellError(error);
        return false;
    }
    *files = ListJournalFiles(*folder);
    if (files->empty()) {
        TellError(platform::FolderExists(*folder)
                      ? "no journal files (zelk-events-YYYY-MM-DD.jsonl) in " + *folder +
                            " (or it cannot be read)"
                      : "no journal folder " + *folder + ": it does not exist or is no folder");
        return false;
    }
    return true;
}

// Until when the journal's last states count: now for a journal that is
// being kept (its last file from today or yesterday: a quiet day writes
// nothing), else the end of its last file's day, as such a journal has been
// copied or given up, and what came after it is not known.
int64_t JournalEnd(const LocalZone& zone, int64_t lastFileDay, int64_t nowMs) {
    return lastFileDay + 1 >= LocalDay(zone, nowMs) ? nowMs
                                                    : MakeDayWindow(zone, lastFileDay).endMs;
}

void TellSkipped(int64_t skipped) {
    const std::string note = SkippedLinesNote(skipped);
    if (!note.empty()) {
        TellError(note);
    }
}

}  // namespace

int RunHistory(const Options& options) {
    const SystemZone zone;
    const int64_t nowSeconds = platform::CurrentTime();
    HistoryQuery query;
    query.apps = options.apps;
    query.kinds = options.events;
    query.json = options.json;
    TimeSpec when;
    if (!options.since.empty() && ParseTimeSpec(options.since, &when)) {
        query.sinceMs = ResolveTimeSpec(when, zone, nowSeconds) * kMsPerSecond;
    }
    if (!options.until.empty() && ParseTimeSpec(options.until, &when)) {
        query.untilMs = ResolveTimeSpec(when, zone, nowSeconds) * kMsPerSecond;
    }
    if (query.sinceMs >= query.untilMs) {
        TellError("--since must come before --until");
        return kUsageError;
    }
    std::vector<JournalFile> files;
    std::string folder;
    if (!OpenJournal(options, &files, &folder)) {
        return kJournalUnusable;
    }
    const platform::TerminalOutput terminal;
    const int64_t fromDay =
        query.sinceMs == INT64_MIN ? files.front().day : LocalDay(zone, query.sinceMs);
    // The day of the range's last instant: --until at midnight ends the day before.
    const int64_t toDay =
        query.untilMs == INT64_MAX ? files.back().day : LocalDay(zone, query.untilMs - 1);
    HistoryReport report(query, zone);
    int64_t skipped = 0;
    std::size_t first = 0, last = 0;
    PlanFiles(files, fromDay, toDay, &first, &last);
    const bool allRead = ReadFiles(
        files, first, last, toDay, query.untilMs, &skipped,
        [&](const journal::Event& event, std::string_view line) { report.Add(event, line); },
        [&] { std::fputs(report.TakeOutput().c_str(), stdout); });
    std::fputs(report.Finish(JournalEnd(zone, files.back().day, nowSeconds * kMsPerSecond)).c_str(),
               stdout);
    std::fflush(stdout);
    TellSkipped(skipped);
    return allRead ? 0 : kJournalUnusable;
}

int RunTimeline(const Options& options) {
    const SystemZone zone;
    const int64_t nowMs = platform::CurrentTime() * kMsPerSecond;
    int64_t day = LocalDay(zone, nowMs);
    if (!options.day.empty() && !ParseDate(options.day, &day)) {
        return kUsageError;
    }
    const DayWindow window = MakeDayWindow(zone, day, options.fromMinute, options.toMinute);
    if (window.endMs - window.startMs < kMsPerMinute) {
        TellError(ClockTimeText(options.fromMinute) + " to " + ClockTimeText(options.toMinute) +
                  " does not occur on " + DateText(day) + ": the clocks skip it");
        return kUsageError;
    }
    std::vector<JournalFile> files;
    std::string folder;
    if (!OpenJournal(options, &files, &folder)) {
        return kJournalUnusable;
    }
    TimelineBuilder builder(window.startMs, window.endMs, true);
    int64_t skipped = 0;
    std::size_t first = 0, last = 0;
    PlanFiles(files, day, day, &first, &last);
    const bool allRead = ReadFiles(
        files, first, last, day, window.endMs, &skipped,
        [&](const journal::Event& event, std::string_view) { builder.Add(event); }, nullptr);
    Timeline timeline =
        builder.Finish(std::min(JournalEnd(zone, files.back().day, nowMs), window.endMs));
    if (!options.apps.empty()) {
        std::vector<Lane> chosen;
        for (Lane& lane : timeline.lanes) {
            if (std::find(options.apps.begin(), options.apps.end(), lane.name) !=
                options.apps.end()) {
                chosen.push_back(std::move(lane));
            }
        }
        timeline.lanes = std::move(chosen);
    }
    std::string station = platform::HostName();
    if (station.empty()) {
        station = "(unknown host)";
    }
    int code = allRead ? 0 : kJournalUnusable;
    if (options.outputPath.empty()) {
        const platform::TerminalOutput terminal;
        std::fputs(TextTimeline(timeline, window, zone, station, terminal.TakesColour()).c_str(),
                   stdout);
        std::fflush(stdout);
    } else {
        const std::string& path = options.outputPath;
        const std::string picture = options.outputHtml
                                        ? TimelineHtml(timeline, window, zone, station, nowMs)
                                        : TimelineSvg(timeline, window, zone, station, nowMs);
        // Written beside it and renamed over it: a reader (a browser, a mail
        // client) never sees half a picture.
        const std::string temporary = path + ".tmp";
        int32_t error = 0;
        platform::RemoveFile(temporary);
        const bool written = platform::WriteNewFile(temporary, picture, &error) ==
                                 platform::NewFileResult::kWritten &&
                             platform::RenameOver(temporary, path, &error);
        if (!written) {
            platform::RemoveFile(temporary);
            TellError("cannot write " + path + ": " + platform::ErrorText(error));
            code = kJournalUnusable;
        }
    }
    TellSkipped(skipped);
    return code;
}

}  // namespace zelkctl
