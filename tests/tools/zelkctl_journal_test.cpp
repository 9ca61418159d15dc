// The journal's files read by zelkctl: the events of a file's text in
// order, its torn and broken lines skipped and counted, and reading that
// stops once past the range.
#include <gtest/gtest.h>

#include "zelkctl/journal_reader.h"

namespace zelkctl {
namespace {

// The events read from a text, each with its line.
struct Read {
    std::vector<journal::Event> events;
    std::vector<std::string> lines;
    int64_t skipped = 0;
};

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

}  // namespace
}  // namespace zelkctl
