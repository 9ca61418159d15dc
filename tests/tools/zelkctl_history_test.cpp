// zelkctl history without its I/O: which events a command line shows, the
// rows and JSON Lines, and the summary per application.
#include <gtest/gtest.h>

#include "central_europe_zone.h"
#include "journal/line.h"
#include "zelkctl/event_text.h"
#include "zelkctl/history_report.h"
#include "zelkctl/journal_reader.h"
#include "zelkctl/journal_time.h"

namespace zelkctl {
namespace {

const char* const kDay =
    "{\"time\":\"2026-12-09T00:00:00.000+01:00\",\"event\":\"daemon_started\",\"version\":\"1.0."
    "0\",\"apps\":2,\"pid\":42}\n"
    "{\"time\":\"2026-12-09T00:00:03.000+01:00\",\"event\":\"connected\",\"app\":\"sim_silent\","
    "\"index\":0,\"endpoint\":\"127.0.0.1:7102\",\"waits\":1}\n"
    "{\"time\":\"2026-12-09T00:00:06.000+01:00\",\"event\":\"connected\",\"app\":\"Z\xC3\xA4hler\","
    "\"index\":1,\"waits\":2}\n"
    "{\"time\":\"2026-12-09T01:00:00.000+01:00\",\"event\":\"silence\",\"app\":\"sim_silent\","
    "\"index\":0}\n"
    "{\"time\":\"2026-12-09T01:01:27.000+01:00\",\"event\":\"terminated\",\"app\":\"sim_silent\","
    "\"index\":0,\"cycle\":\"silent\",\"count\":30,\"processes\":1,\"result\":1}\n"
    "{\"time\":\"2026-12-09T01:02:12.000+01:00\",\"event\":\"launched\",\"app\":\"sim_silent\","
    "\"index\":0,\"cycle\":\"silent\",\"count\":45,\"ok\":true,\"error\":0,\"session\":1,"
    "\"command\":\"sim --silent\"}\n"
    "{\"time\":\"2026-12-09T01:02:57.000+01:00\",\"event\":\"reconnect\",\"app\":\"sim_silent\","
    "\"index\":0,\"cycle\":\"silent\",\"count\":60}\n"
    "{\"time\":\"2026-12-09T01:03:00.000+01:00\",\"event\":\"connected\",\"app\":\"sim_silent\","
    "\"index\":0,\"waits\":1}\n"
    "{\"time\":\"2026-12-09T02:00:00.000+01:00\",\"event\":\"train\",\"app\":\"Z\xC3\xA4hler\","
    "\"index\":1,\"key\":\"20261209020000\",\"vehicles\":12}\n"
    "{\"time\":\"2026-12-09T02:00:02.000+01:00\",\"event\":\"mismatch\",\"app\":\"Z\xC3\xA4hler\","
    "\"index\":1,\"key\":\"20261209020000\",\"pictures\":24,\"files\":3}\n";

int64_t At(const char* rfc3339) {
    journal::Time time;
    EXPECT_TRUE(journal::ParseRfc3339(rfc3339, &time));
    return time.ms;
}

std::string Report(const HistoryQuery& query, const char* endTime = "2026-12-09T03:00:00+01:00") {
    const CentralEurope zone;
    HistoryReport report(query, zone);
    ReadJournalText(
        kDay, [&](const journal::Event& event, std::string_view line) { report.Add(event, line); });
    return report.Finish(At(endTime));
}

TEST(HistoryReport, ListsTheEventsAsATableWithASummary) {
    const std::string out = Report(HistoryQuery());
    EXPECT_EQ(
        out.find(
            "TIME                       APP         EVENT               DETAILS\n"
            "2026-12-09 00:00:00+01:00  -           daemon_started      version 1.0.0, 2 "
            "applications, pid 42\n"
            "2026-12-09 00:00:03+01:00  sim_silent  connected           first data after 1 wait\n"
            "2026-12-09 00:00:06+01:00  Z\xC3\xA4hler      connected           first data after 2 "
            "waits\n"),
        0u)
        << out;
    for (const char* row :
         {"01:01:27+01:00  sim_silent  terminated          silent cycle, wait 30: 1 process "
          "terminated\n",
          "01:02:12+01:00  sim_silent  launched            silent cycle, wait 45: session 1: sim "
          "--silent\n",
          "01:02:57+01:00  sim_silent  reconnect           silent cycle, wait 60\n",
          "02:00:02+01:00  Z\xC3\xA4hler      mismatch            train 20261209020000: 24 "
          "pictures, 3 XML files\n"}) {
        EXPECT_NE(out.find(row), std::string::npos) << row;
    }
    EXPECT_NE(out.find("\nSummary from 2026-12-09 00:00 to 2026-12-09 03:00 (3h 0m):\n"
                       "APP         CONNECTED  CONNECTING  SILENT  FAILING  DOWN    RESTARTS  "
                       "LAUNCHED  TRAINS  MISMATCHES\n"
                       "sim_silent  2h 57m     3s          57s     0s       1m 33s  1         1  "
                       "       0       0\n"
                       "Z\xC3\xA4hler      2h 59m     6s          0s      0s       0s      0       "
                       "  0         1       1\n"),
              std::string::npos)
        << out;
}

TEST(HistoryReport, ChoosesByApplicationKindAndRange) {
    HistoryQuery query;
    query.apps = {"sim_silent"};
    std::string out = Report(query);
    // The daemon's start goes with every application; the other one's rows
    // and summary do not.
    EXPECT_NE(out.find("daemon_started"), std::string::npos);
    EXPECT_EQ(out.find("Z\xC3\xA4hler"), std::string::npos) << out;
    EXPECT_NE(out.find("\nsim_silent  2h 57m"), std::string::npos) << out;

    query = HistoryQuery();
    query.kinds = {"terminated", "launched"};
    query.sinceMs = At("2026-12-09T01:00:00+01:00");
    query.untilMs = At("2026-12-09T01:02:00+01:00");
    out = Report(query);
    EXPECT_NE(out.find("terminated"), std::string::npos);
    EXPECT_EQ(out.find("launched "), std::string::npos);  // after --until
    EXPECT_NE(out.find("Summary from 2026-12-09 01:00 to 2026-12-09 01:02 (2m 0s)"),
              std::string::npos)
        << out;
    // The summary counts the range whatever the kinds shown: quiet since
    // 01:00, silent from its eleventh wait, down from 01:01:27.
    EXPECT_NE(out.find("sim_silent  30s        0s          57s     0s       33s   1         0"),
              std::string::npos)
        << out;

    query.sinceMs = At("2026-12-10T00:00:00+01:00");
    query.untilMs = INT64_MAX;
    EXPECT_EQ(Report(query).find("No events in the journal for this choice.\n"), 0u);
}

TEST(HistoryReport, TellsMaintenanceAndCountsAnOperatorsRestartOnce) {
    const std::string control =
        std::string(kDay) +
        "{\"time\":\"2026-12-09T02:10:00.000+01:00\",\"event\":\"control\",\"app\":\"sim_"
        "silent\",\"by\":\"root\",\"action\":\"pause\",\"reason\":\"firmware 2.4\","
        "\"until\":\"2026-12-09T03:10:00.000+01:00\",\"ok\":true,\"answer\":\"paused\"}\n"
        "{\"time\":\"2026-12-09T02:20:00.000+01:00\",\"event\":\"control\",\"app\":\"sim_"
        "silent\",\"by\":\"root\",\"action\":\"resume\",\"ok\":true,\"answer\":\"resumed\"}\n"
        "{\"time\":\"2026-12-09T02:30:00.000+01:00\",\"event\":\"control\",\"app\":\"Z\xC3\xA4"
        "hler\",\"by\":\"root\",\"action\":\"restart\",\"reason\":\"stuck\",\"ok\":true,"
        "\"answer\":\"restarted\"}\n"
        "{\"time\":\"2026-12-09T02:30:00.100+01:00\",\"event\":\"terminated\",\"app\":\"Z\xC3"
        "\xA4hler\",\"index\":1,\"cycle\":\"none\",\"count\":0,\"processes\":1,\"result\":1}\n"
        "{\"time\":\"2026-12-09T02:30:00.200+01:00\",\"event\":\"launched\",\"app\":\"Z\xC3"
        "\xA4hler\",\"index\":1,\"cycle\":\"none\",\"count\":0,\"ok\":true}\n"
        "{\"time\":\"2026-12-09T02:40:00.000+01:00\",\"event\":\"control\",\"app\":\"sim_"
        "silent\",\"by\":\"nobody\",\"action\":\"pause\",\"ok\":false,\"answer\":\"denied\"}"
        "\n";
    const CentralEurope zone;
    HistoryQuery query;
    query.apps = {"sim_silent"};
    for (const bool one : {false, true}) {
        HistoryReport report(one ? query : HistoryQuery(), zone);
        ReadJournalText(control, [&](const journal::Event& event, std::string_view line) {
            report.Add(event, line);
        });
        const std::string out = report.Finish(At("2026-12-09T03:00:00+01:00"));
        EXPECT_NE(out.find("sim_silent in maintenance from 2026-12-09 02:10 to 2026-12-09 02:20 "
                           "(10m 0s) by root: firmware 2.4\n"),
                  std::string::npos)
            << out;
        // A control request goes with the application it names.
        EXPECT_EQ(out.find("restart of Z\xC3\xA4hler by root") == std::string::npos, one) << out;
        if (!one) {
            // The operator's restart is one restart, its control line none.
            EXPECT_NE(
                out.find("\nZ\xC3\xA4hler      2h 29m     6s          0s      0s       29m 59s  "
                         "1         1"),
                std::string::npos)
                << out;
        }
    }
}

TEST(HistoryReport, JsonLinesAreTheJournalsOwnLines) {
    HistoryQuery query;
    query.json = true;
    query.kinds = {"mismatch"};
    const std::string out = Report(query);
    const std::string day = kDay;
    const std::size_t line = day.find("{\"time\":\"2026-12-09T02:00:02");
    EXPECT_EQ(out, day.substr(line));

    // An editor's byte-order mark is no part of the line passed on.
    const CentralEurope zone;
    HistoryReport marked(query, zone);
    ReadJournalText(
        "\xEF\xBB\xBF" + day.substr(line),
        [&](const journal::Event& event, std::string_view text) { marked.Add(event, text); });
    EXPECT_EQ(marked.Finish(At("2026-12-09T03:00:00+01:00")), day.substr(line));
}

TEST(HistoryReport, OddRowsAndARangeAcrossTheClockChange) {
    const CentralEurope zone;
    // A kind of blanks after a name ending in blanks, and no details: the
    // row ends after the kind (a tab shown as a blank), the name stays whole.
    HistoryReport odd(HistoryQuery(), zone);
    ReadJournalText(
        "{\"time\":\"2026-03-01T10:00:00.000+01:00\",\"event\":\" \",\"app\":\"a \"}\n"
        "{\"time\":\"2026-03-01T10:00:01.000+01:00\",\"event\":\"\\t\",\"app\":\"abc   \"}\n",
        [&](const journal::Event& event, std::string_view line) { odd.Add(event, line); });
    const std::string rows = odd.TakeOutput();
    EXPECT_NE(rows.find("10:00:00+01:00  a        \n"), std::string::npos) << rows;
    EXPECT_NE(rows.find("10:00:01+01:00  abc      \n"), std::string::npos) << rows;

    // Written in summer time, read for a range in summer time: both ends
    // in the zone's time of that moment, not the journal's first line's.
    HistoryQuery query;
    query.sinceMs = At("2026-03-30T10:00:00+02:00");
    query.untilMs = At("2026-03-30T11:00:00+02:00");
    HistoryReport report(query, zone);
    ReadJournalText(
        "{\"time\":\"2026-03-29T00:00:01.000+01:00\",\"event\":\"daemon_started\",\"apps\":1}\n"
        "{\"time\":\"2026-03-29T00:00:02.000+01:00\",\"event\":\"connected\",\"app\":\"a\","
        "\"index\":0}\n",
        [&](const journal::Event& event, std::string_view line) { report.Add(event, line); });
    const std::string out = report.Finish(At("2026-03-30T12:00:00+02:00"));
    EXPECT_NE(out.find("Summary from 2026-03-30 10:00 to 2026-03-30 11:00 (1h 0m):\n"),
              std::string::npos)
        << out;

    // Lines written under a clock ahead of this one: the summary reaches
    // their last, as the times it adds up do.
    HistoryReport ahead(HistoryQuery(), zone);
    ReadJournalText(
        kDay, [&](const journal::Event& event, std::string_view line) { ahead.Add(event, line); });
    const std::string late = ahead.Finish(At("2026-12-09T01:00:00+01:00"));
    EXPECT_NE(late.find("Summary from 2026-12-09 00:00 to 2026-12-09 02:00 (2h 0m):\n"),
              std::string::npos)
        << late;
}

// --app: whether each application asked for was met, and which were.
TEST(HistoryReport, TellsWhetherTheApplicationsAskedForWereMet) {
    const CentralEurope zone;
    HistoryQuery query;
    query.apps = {"sim_silent", "nosuch", "sim_silent"};
    HistoryReport report(query, zone);
    ReadJournalText(
        kDay, [&](const journal::Event& event, std::string_view line) { report.Add(event, line); });
    EXPECT_FALSE(report.AllAppsMet());
    EXPECT_EQ(report.AppsMet(), (std::vector<std::string>{"sim_silent", "Z\xC3\xA4hler"}));
    query.apps = {"sim_silent", "sim_silent"};
    HistoryReport met(query, zone);
    ReadJournalText(
        kDay, [&](const journal::Event& event, std::string_view line) { met.Add(event, line); });
    EXPECT_TRUE(met.AllAppsMet());
}

// An event written under a clock set far ahead is listed as what it is,
// and neither stretches the summary nor zeroes its times.
TEST(HistoryReport, ASuspectEventIsListedButLeftOutOfTheSummary) {
    const CentralEurope zone;
    HistoryReport report(HistoryQuery(), zone);
    SuspectEvents suspect;
    suspect.afterMs = SuspectAfter(zone, LocalDay(zone, At("2026-12-09T12:00:00+01:00")));
    suspect.take = [&](const journal::Event& event, std::string_view line) {
        report.AddSuspect(event, line);
    };
    const std::string day = kDay;
    const std::size_t cut = day.find("{\"time\":\"2026-12-09T01:00:00");
    ReadJournalText(
        day.substr(0, cut) +
            "{\"time\":\"9999-12-31T23:59:59+01:00\",\"event\":\"silence\",\"app\":\"sim_silent\","
            "\"index\":0}\n" +
            day.substr(cut),
        [&](const journal::Event& event, std::string_view line) { report.Add(event, line); },
        INT64_MAX, &suspect);
    const std::string out = report.Finish(At("2026-12-09T03:00:00+01:00"));
    EXPECT_NE(out.find("9999-12-31 23:59:59+01:00  sim_silent  silence             first wait "
                       "without data; time suspect: more than a day after the day of its file\n"),
              std::string::npos)
        << out;
    // The summary is the one of the day without that line.
    const std::string plain = Report(HistoryQuery());
    EXPECT_EQ(out.substr(out.find("Summary")), plain.substr(plain.find("Summary")));
}

TEST(EventText, EachKindInWords) {
    const struct {
        const char* fields;  // after "time" and "event"
        const char* kind;
        const char* details;
    } cases[] = {
        {R"("version":"1.0.0","apps":3,"pid":7)", "daemon_started",
         "version 1.0.0, 3 applications, pid 7"},
        {R"("apps":1)", "daemon_stopped", "1 application"},
        {R"("path":"C:\\z\\config.xml","apps":2)", "config_loaded",
         "C:\\z\\config.xml, 2 applications"},
        {R"("path":"c.xml","report":"<r>\n<e/></r>")", "config_not_loaded", "c.xml: <r> <e/></r>"},
        {R"("count":2,"findings":["a","b"])", "config_pitfalls", "2 pitfalls: a; b"},
        {R"("reason":"out of memory")", "thread_not_started",
         "the watchdog thread did not start (out of memory): not watched"},
        {R"("waits":1)", "connected", "first data after 1 wait"},
        {R"("waits":0)", "connected", "first data at once"},
        {R"("code":10054)", "failing", "reads fail, socket error 10054"},
        {R"("after":"failing","count":3)", "resumed", "data again after 3 failed reads"},
        {R"("after":"silent","count":12)", "resumed", "data again after 12 silent waits"},
        {R"("cycle":"failing","count":11,"processes":2,"result":1)", "terminated",
         "failing cycle, read 11: 2 processes terminated"},
        {R"("cycle":"connecting","count":10,"processes":0,"result":0)", "terminated",
         "connecting cycle, wait 10: no process terminated"},
        {R"("result":-1)", "terminated", "the name is empty: nothing terminated"},
        {R"("cycle":"none","count":0,"processes":1,"result":1)", "terminated",
         "on request: 1 process terminated"},
        {R"("cycle":"silent","count":45,"ok":false,"error":2,"command":"x.exe")", "launched",
         "silent cycle, wait 45: FAILED (error 2): x.exe"},
        {R"("cycle":"socket","count":1)", "reconnect",
         "the socket could not be created (attempt 1)"},
        {R"("cycle":"wait_failing","count":40)", "reconnect", "waits keep failing (40)"},
        {R"("key":"K","vehicles":1,"serial":"S")", "train", "train K, 1 vehicle, serial S"},
        {R"("pictures":24,"files":3)", "mismatch", "24 pictures, 3 XML files"},
        {R"("sub_app":"rec","command":"u.bat","ok":false,"code":2)", "uninstall",
         "rec: u.bat (NOT RUN, code 2)"},
        {R"("sub_app":"rec","command":"i.bat","ok":true)", "install", "rec: i.bat (run)"},
        {R"("discarded":100,"kept":5)", "buffer_overflow", "100 bytes discarded, 5 kept"},
        {R"("x":1)", "out_of_memory", "out of memory"},
        {R"("outcome":"written","path":"/e/a.dmp","bytes":4096,"milliseconds":812,"error":0)",
         "evidence", "dump written: /e/a.dmp, 4096 bytes in 812 ms"},
        {R"("outcome":"failed","path":"/e/a.dmp","bytes":0,"milliseconds":3,"error":28)",
         "evidence", "dump not made (failed, error 28): /e/a.dmp in 3 ms"},
        {R"("x":1)", "disk_full", ""},
        {R"("by":"root","action":"reload","ok":true,"answer":"config.xml reloaded: added b")",
         "control", "reload by root: config.xml reloaded: added b"},
        {R"("by":"root","action":"reload","ok":false,"answer":"not reloaded")", "control",
         "reload by root (refused: not reloaded)"},
    };
    for (const auto& c : cases) {
        const std::string line = std::string("{\"time\":\"2026-12-09T00:00:00Z\",\"event\":\"") +
                                 c.kind + "\"," + c.fields + "}";
        journal::Event event;
        ASSERT_TRUE(journal::ParseLine(line, &event)) << line;
        EXPECT_EQ(EventDetails(event), c.details) << line;
    }
}

TEST(EventText, NothingFromTheJournalSteersATerminal) {
    EXPECT_EQ(Printable("a\tb\nc\x1b[2Jd\x7f\xC2\x9B"
                        "1m\xEF\xBF\xBF\xC3\xA4\xE2\x82\xAC"),
              "a b c?[2Jd??1m?\xC3\xA4\xE2\x82\xAC");
    // What turns the text's direction or shows nothing: U+202E, U+2066,
    // U+2069, U+200B, U+200D, U+FEFF, U+061C, U+180E; next to kin that
    // stay (U+2010, U+2065 unassigned, U+FEFE).
    const std::string hidden =
        "\xE2\x80\xAE"
        "evil\xE2\x81\xA6"
        "a\xE2\x81\xA9\xE2\x80\x8B\xE2\x80\x8D\xEF\xBB\xBF\xD8\x9C\xE1\xA0\x8E";
    const std::string kin = "\xE2\x80\x90\xE2\x81\xA5\xEF\xBB\xBE";
    EXPECT_EQ(Printable(hidden + kin), "?evil?a??????" + kin);
    EXPECT_EQ(DisplayWidth(Printable(hidden)), 13u);
    // In JSON Lines as \u escapes, the same JSON.
    std::string json;
    AppendJsonForTerminal(&json, "{\"app\":\"" + hidden + "\xC2\x9B\x7F" + kin + "\"}");
    EXPECT_EQ(json,
              "{\"app\":\"\\u202eevil\\u2066a\\u2069\\u200b\\u200d\\ufeff\\u061c\\u180e"
              "\\u009b\\u007f" +
                  kin + "\"}");
    journal::Event event;
    EXPECT_TRUE(journal::ParseLine(
        "{\"time\":\"2026-12-09T00:00:00Z\",\"event\":\"x\"," + json.substr(1), &event));
    EXPECT_EQ(event.app, hidden + "\xC2\x9B\x7F" + kin);
}

}  // namespace
}  // namespace zelkctl
