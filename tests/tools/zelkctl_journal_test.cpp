// The journal's files read by zelkctl: the events of a file's text in
// order, its torn and broken lines skipped and counted, and reading that
// stops once past the range.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../support/temp_folder.h"
#include "journal/file_name.h"

#include "central_europe_zone.h"
#include "journal/time_format.h"
#include "zelkctl/journal_reader.h"
#include "zelkctl/journal_source.h"

namespace zelkctl {
namespace {

// The events read from a text, each with its line.
struct Read {
    std::vector<journal::Event> events;
    std::vector<std::string> lines;
    int64_t skipped = 0;
};

int64_t ParsedTime(const char* rfc3339) {
    journal::Time time;
    EXPECT_TRUE(journal::ParseRfc3339(rfc3339, &time));
    return time.ms;
}

Read ReadText(const std::string& text, int64_t stopAtMs = INT64_MAX) {
    Read read;
    read.skipped = ReadJournalText(
        text,
        [&](const journal::Event& event, std::string_view line) {
            read.events.push_back(event);
            read.lines.emplace_back(line);
        },
        stopAtMs);
    return read;
}

TEST(JournalText, SkipsTornAndBrokenLinesAndCountsThem) {
    const std::string text =
        "{\"time\":\"2026-12-09T01:00:00+01:00\",\"event\":\"daemon_started\",\"apps\":1}\r\n"
        "\n"
        "not json at all\n"
        "{\"time\":\"2026-12-09T01:00:03+01:00\",\"event\":\"connected\",\"app\":\"a\",\"index\":0}"
        "\n"
        "   \n"
        "{\"time\":\"2026-12-09T01:00:09+01:00\",\"event\":\"silence\",\"app\":\"a\",\"index\":0}\n"
        "{\"time\":\"2026-12-09T01:00:12+01:00\",\"event\":\"termin";
    const Read all = ReadText(text);
    ASSERT_EQ(all.events.size(), 3u);
    EXPECT_EQ(all.skipped, 2);  // blank lines are no damage
    EXPECT_EQ(all.events[0].kind, journal::EventKind::kDaemonStarted);
    EXPECT_EQ(all.lines[0].back(), '}');  // the carriage return is not part of the line
    EXPECT_EQ(all.events[1].app, "a");
    EXPECT_EQ(all.events[2].kind, journal::EventKind::kSilence);

    // A last line cut just before its line end is whole.
    const Read whole = ReadText(
        "{\"time\":\"2026-12-09T01:00:00+01:00\",\"event\":\"daemon_started\"}\n"
        "{\"time\":\"2026-12-09T01:00:03+01:00\",\"event\":\"connected\",\"app\":\"a\"}");
    EXPECT_EQ(whole.skipped, 0);
    EXPECT_EQ(whole.events.size(), 2u);

    // Reading stops after the first event at or after the stop time.
    const Read partial = ReadText(text, all.events[1].time.ms);
    EXPECT_EQ(partial.events.size(), 2u);
    EXPECT_EQ(partial.skipped, 1);

    EXPECT_EQ(SkippedLinesNote(0), "");
    EXPECT_EQ(SkippedLinesNote(1).find("1 line of the journal skipped"), 0u);
    EXPECT_EQ(SkippedLinesNote(2).find("2 lines of the journal skipped"), 0u);
}

// A time far ahead of its file's day goes to the suspect events, counted,
// and neither ends the reading nor reaches the events taken.
TEST(JournalText, TimesFarAheadOfTheFilesDayAreSuspect) {
    const std::string text =
        "{\"time\":\"2026-12-09T01:00:00+01:00\",\"event\":\"daemon_started\",\"apps\":1}\n"
        "{\"time\":\"9999-12-31T23:59:59+01:00\",\"event\":\"train\",\"app\":\"a\"}\n"
        "{\"time\":\"2026-12-09T01:00:03+01:00\",\"event\":\"connected\",\"app\":\"a\"}\n";
    std::vector<std::string> taken;
    std::vector<std::string> suspects;
    SuspectEvents suspect;
    suspect.take = [&](const journal::Event&, std::string_view line) {
        suspects.emplace_back(line);
    };
    const CentralEurope zone;
    suspect.afterMs = SuspectAfter(zone, LocalDay(zone, ParsedTime("2026-12-09T12:00:00+01:00")));
    const int64_t skipped = ReadJournalText(
        text,
        [&](const journal::Event& event, std::string_view) { taken.push_back(event.kindName); },
        ParsedTime("2026-12-09T01:00:02+01:00"), &suspect);
    EXPECT_EQ(skipped, 0);
    EXPECT_EQ(taken, (std::vector<std::string>{"daemon_started", "connected"}));
    ASSERT_EQ(suspects.size(), 1u);
    EXPECT_EQ(suspects[0].find("{\"time\":\"9999-12-31"), 0u);
    EXPECT_EQ(suspect.count, 1);
    // The end of the day after the file's: the next day is not suspect.
    EXPECT_EQ(suspect.afterMs, ParsedTime("2026-12-11T00:00:00+01:00"));
    EXPECT_EQ(SuspectEventsNote(0, "x"), "");
    EXPECT_EQ(SuspectEventsNote(2, "left out")
                  .find("2 events of the journal with a time more "
                        "than a day after the day of its file"),
              0u);
}

TEST(JournalText, AnApplicationNotInTheJournalIsNamedWithTheNearestOne) {
    const std::vector<std::string> known = {"sim_silent", "Z\xC3\xA4hler", "app05.exe"};
    EXPECT_EQ(UnknownAppsText({"app05.exe", "sim_silent"}, known, ""), "");
    EXPECT_EQ(UnknownAppsText({"app05.ex"}, known, " for 2026-12-09"),
              "no application named \"app05.ex\" in the journal for 2026-12-09 (did you mean "
              "app05.exe?)");
    EXPECT_EQ(UnknownAppsText({"SIM_SILENT", "nosuch\x1b[2J"}, known, ""),
              "no application named \"SIM_SILENT\" in the journal (did you mean sim_silent? names "
              "are case-sensitive); no application named \"nosuch?[2J\" in the journal (it names "
              "sim_silent, Z\xC3\xA4hler, app05.exe)");
    EXPECT_EQ(UnknownAppsText({"a"}, {}, ""), "no application named \"a\" in the journal");
}

// A file before the day asked for that cannot be read (here a folder of
// its name) is told but fails nothing: the day itself was read. One of the
// days asked for fails the reading.
TEST(JournalFiles, AnUnreadableFileBeforeTheRangeIsNoFailure) {
    testing_support::TempFolder folder;
    const std::string days[] = {"2026-12-07", "2026-12-08", "2026-12-09"};
    std::vector<JournalFile> files;
    for (const std::string& day : days) {
        const std::string name = "zelk-events-" + day + ".jsonl";
        JournalFile file{0, folder.WithSeparator() + name};
        ASSERT_TRUE(journal::DayOfFileName(name, &file.day));
        files.push_back(file);
        if (day == "2026-12-08") {
            std::filesystem::create_directory(file.path);
        } else {
            std::ofstream(file.path, std::ios::binary)
                << "{\"time\":\"" << day
                << "T01:00:00+01:00\",\"event\":\"daemon_started\",\"apps\":1}\n";
        }
    }
    const CentralEurope zone;
    std::size_t first = 0, last = 0;
    PlanFiles(files, files[2].day, files[2].day, &first, &last);
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(last, 2u);
    FileReading reading(zone);
    int events = 0;
    reading.take = [&](const journal::Event&, std::string_view) { ++events; };
    reading.fromDay = files[2].day;
    EXPECT_TRUE(ReadFiles(files, first, last, &reading));
    EXPECT_EQ(events, 2);
    reading.fromDay = files[1].day;
    EXPECT_FALSE(ReadFiles(files, first, last, &reading));
}

}  // namespace
}  // namespace zelkctl
