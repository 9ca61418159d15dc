// The journal's lines both ways: every line the daemon writes reads back
// into the event that writes it again, each kind's fields read with their
// types, and objects that are no event refused.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "journal/line.h"

namespace journal {
namespace {

// One line of each kind and variant the daemon writes, as it writes them.
std::vector<std::string> GoldenLines() {
    std::ifstream file(ZELK_JOURNAL_GOLDEN, std::ios::binary);
    EXPECT_TRUE(file) << ZELK_JOURNAL_GOLDEN;
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(JournalLine, EveryLineTheDaemonWritesReadsBackIntoTheSameLine) {
    const std::vector<std::string> lines = GoldenLines();
    ASSERT_FALSE(lines.empty());
    Event event;  // reused, as a reader does
    std::vector<bool> kindSeen(static_cast<std::size_t>(EventKind::kUnknown), false);
    for (const std::string& line : lines) {
        ASSERT_TRUE(ParseLine(line, &event)) << line;
        ASSERT_NE(event.kind, EventKind::kUnknown) << line;
        kindSeen[static_cast<std::size_t>(event.kind)] = true;
        EXPECT_EQ(FormatLine(event), line + "\n");
    }
    for (std::size_t kind = 0; kind < kindSeen.size(); ++kind) {
        EXPECT_TRUE(kindSeen[kind]) << KindName(static_cast<EventKind>(kind));
    }
    // The daemon's start is found in a file's text without reading it.
    Event started;
    started.kind = EventKind::kDaemonStarted;
    EXPECT_TRUE(MentionsDaemonStart("x\n" + FormatLine(started)));
    // A name inside a text carries its quotes escaped: no start.
    Event train;
    train.kind = EventKind::kTrain;
    train.key = R"("event":"daemon_started")";
    EXPECT_FALSE(MentionsDaemonStart(FormatLine(train)));
}

TEST(JournalLine, ReadsEachKindsFields) {
    Event e;
    ASSERT_TRUE(ParseLine(
        R"({"time":"2026-12-09T03:14:15.123+01:00","event":"terminated","app":"sim_silent","index":1,"endpoint":"127.0.0.1:7102","cycle":"silent","count":30,"processes":1,"result":-1})",
        &e));
    EXPECT_EQ(e.kind, EventKind::kTerminated);
    EXPECT_EQ(e.time.ms, 1796782455123);  // 2026-12-09T02:14:15.123Z
    EXPECT_EQ(e.time.offsetMinutes, 60);
    EXPECT_EQ(e.app, "sim_silent");
    EXPECT_EQ(e.index, 1);
    EXPECT_EQ(e.endpoint, "127.0.0.1:7102");
    EXPECT_EQ(e.cycle, "silent");
    EXPECT_EQ(e.count, 30);
    EXPECT_EQ(e.result, -1);

    ASSERT_TRUE(ParseLine(
        R"({"time":"2026-12-09T03:00:00.000+01:00","event":"launched","app":"a","index":"2","ok":false,"error":2,"session":1.5,"user":1,"command":"run me","serial":77})",
        &e));
    EXPECT_EQ(e.kind, EventKind::kLaunched);
    EXPECT_EQ(e.index, -1);  // wrong types read as absent
    EXPECT_EQ(e.session, kNoNumber);
    EXPECT_EQ(e.user, kNoFlag);
    EXPECT_EQ(e.ok, 0);
    EXPECT_EQ(e.error, 2);
    EXPECT_EQ(e.command, "run me");
    EXPECT_EQ(e.serial, "77");

    ASSERT_TRUE(ParseLine(
        R"({"time":"2026-12-09T03:00:00+01:00","event":"resumed","after":"failing","count":4})",
        &e));
    EXPECT_EQ(e.cycle, "failing");
    ASSERT_TRUE(ParseLine(
        R"({"event":"config_pitfalls","time":"2026-12-09T03:00:00+01:00","count":2,"findings":["x","y"]})",
        &e));
    EXPECT_EQ(e.findings, (std::vector<std::string>{"x", "y"}));
    // A kind of a newer daemon is kept under its name, and never written.
    ASSERT_TRUE(ParseLine(R"({"time":"2026-12-09T03:00:00Z","event":"disk_full"})", &e));
    EXPECT_EQ(e.kind, EventKind::kUnknown);
    EXPECT_EQ(e.kindName, "disk_full");
    EXPECT_EQ(FormatLine(e), "");
}

TEST(JournalLine, AReusedEventKeepsNothingOfTheLineBefore) {
    Event e;
    ASSERT_TRUE(ParseLine(
        R"({"time":"2026-12-09T03:00:00Z","event":"x","app":"a","index":1,"endpoint":"e","cycle":"c","version":"v","path":"p","report":"r","command":"m","key":"k","serial":"s","sub_app":"u","reason":"why","findings":["f"],"ok":true,"closed":true,"user":false,"apps":1,"pid":1,"count":1,"waits":1,"code":1,"error":1,"session":1,"processes":1,"result":1,"vehicles":1,"pictures":1,"files":1,"discarded":1,"kept":1})",
        &e));
    ASSERT_TRUE(ParseLine(R"({"time":"2026-12-09T03:00:01Z","event":"silence"})", &e));
    for (const std::string* text : {&e.app, &e.endpoint, &e.cycle, &e.version, &e.path, &e.report,
                                    &e.command, &e.key, &e.serial, &e.subApp, &e.reason}) {
        EXPECT_EQ(*text, "");
    }
    for (const int64_t number :
         {e.apps, e.pid, e.count, e.waits, e.code, e.error, e.session, e.processes, e.result,
          e.vehicles, e.pictures, e.files, e.discarded, e.kept}) {
        EXPECT_EQ(number, kNoNumber);
    }
    for (const int flag : {e.ok, e.closed, e.user}) {
        EXPECT_EQ(flag, kNoFlag);
    }
    EXPECT_TRUE(e.findings.empty());
    EXPECT_EQ(e.index, -1);
}

TEST(JournalLine, RefusesObjectsThatAreNoEvent) {
    Event e;
    for (const char* line : {
             R"({"event":"connected"})",
             R"({"time":"2026-12-09T03:00:00+01:00"})",
             R"({"time":"2026-12-09 03:00","event":"connected"})",
             R"({"time":"2026-02-30T03:00:00Z","event":"connected"})",
             R"({"time":20261209,"event":"connected"})",
             R"({"time":"2026-12-09T03:00:00Z","event":""})",
             R"({"time":"2026-12-09T03:00:00Z","event":7})",
             R"({"time":"2026-12-09T03:00:00Z","event":"connected")",
         }) {
        EXPECT_FALSE(ParseLine(line, &e)) << line;
    }
    EXPECT_TRUE(IsBlankLine(" \t\r"));
    EXPECT_FALSE(IsBlankLine(" {}"));
}

}  // namespace
}  // namespace journal
