// The event journal: which events make no line (what each line says is the
// golden file's), the times and file names in local time, and the writer
// against a real folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../support/temp_folder.h"
#include "../support/wait_until.h"
#include "daemon/journal_writer.h"
#include "log_capture.h"
#include "supervision/journal_line.h"

namespace {

std::string Same(const std::string& text) {
    return text;
}

// 2026-12-09 03:14:15.123 UTC, seen at UTC+01:00.
const JournalTime kTime{1796786055123, 60};

AppIdentity App() {
    AppIdentity app;
    app.index = 3;
    app.name = "sim \"one\"";
    app.endpoint = "127.0.0.1:7101";
    app.subApp = "recorder";
    return app;
}

// Every kind's line is compared with the golden file
// (tests/supervision/journal_golden_test.cpp); these are the events that make
// none.
TEST(JournalLine, PassesThatChangeNothingMakeNoLine) {
    namespace ev = watchdog_event;
    for (const WatchdogEvent& event :
         {WatchdogEvent(ev::ConnectingWait{1}), WatchdogEvent(ev::SilentWait{2}),
          WatchdogEvent(ev::ReadFailed{2}), WatchdogEvent(ev::WaitFailed{1}),
          WatchdogEvent(ev::Terminate{Cycle::kSilent, 30}), WatchdogEvent(ev::DataReceived{40}),
          WatchdogEvent(ev::Handshake{1}), WatchdogEvent(ev::Readable{}),
          WatchdogEvent(ev::UninstallStarting{})}) {
        EXPECT_EQ(JournalLine(App(), event, kTime, Same), "") << event.what.index();
    }
    EXPECT_EQ(JournalLine(daemon_event::Stopping{}, kTime, Same), "");
}

TEST(JournalTime, LocalTimesDatesAndFileNames) {
    EXPECT_EQ(FormatRfc3339(JournalTime{0, 0}), "1970-01-01T00:00:00.000+00:00");
    EXPECT_EQ(FormatRfc3339(JournalTime{-1, -150}), "1969-12-31T21:29:59.999-02:30");
    // Local midnight decides the file, not UTC's.
    const JournalTime lateUtc{1796774400000 - 1, 60};  // 2026-12-08 23:59:59.999 UTC
    EXPECT_EQ(JournalFileName(lateUtc), "zelk-events-2026-12-09.jsonl");
    int64_t day = 0;
    ASSERT_TRUE(JournalFileDay("zelk-events-2026-12-09.jsonl", &day));
    EXPECT_EQ(day, JournalDay(lateUtc));
    ASSERT_TRUE(JournalFileDay("zelk-events-2028-02-29.jsonl", &day));
    for (const char* name : {"zelk-events-2026-13-09.jsonl", "zelk-events-2026-02-29.jsonl",
                             "zelk-events-2026-04-31.jsonl", "zelk-events-2026-12-9.jsonl",
                             "zelk-events-2026-12-09.json", "other-2026-12-09.jsonl"}) {
        EXPECT_FALSE(JournalFileDay(name, &day)) << name;
    }
    std::tm local{};
    local.tm_year = 126;
    local.tm_mon = 11;
    local.tm_mday = 9;
    local.tm_hour = 4;
    EXPECT_EQ(UtcOffsetMinutes(1796785200, local), 60);  // 03:00 UTC seen as 04:00
}

// The writer against a real folder: lines whole and in order in the day's
// file, old days removed, and a folder that cannot be written said once.
TEST(JournalWriter, AppendsTheDaysLinesAndRemovesOldFiles) {
    namespace fs = std::filesystem;
    testing_support::TempFolder folder;
    const fs::path base = folder.path();
    JournalSettings settings;
    settings.folder = (base / "journal").string();  // made by Start
    settings.days = 2;
    {
        JournalService journal(settings);
        ASSERT_TRUE(journal.Start());
        for (int i = 1; i <= 3; ++i) {
            journal.OnAppEvent(App(), watchdog_event::Connected{i}, 1796786055123 + i);
        }
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(settings.folder)) {
        files.push_back(entry.path());
    }
    ASSERT_EQ(files.size(), 1u);
    const std::string text = testing_support::ReadWholeFile(files[0]);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    EXPECT_LT(text.find("\"waits\":1"), text.find("\"waits\":3"));

    // A line torn by a power cut: the next one starts on a line of its own.
    std::ofstream(files[0], std::ios::app | std::ios::binary) << "{\"time\":\"2026-12";
    {
        JournalService journal(settings);
        ASSERT_TRUE(journal.Start());
        journal.OnAppEvent(App(), watchdog_event::OutOfMemory{}, 1796786055123);
    }
    const std::string after = testing_support::ReadWholeFile(files[0]);
    EXPECT_NE(after.find("\"time\":\"2026-12\n{\"time\""), std::string::npos) << after;

    std::ofstream(base / "zelk-events-2000-01-01.jsonl") << "old\n";
    std::ofstream(base / "keep.jsonl") << "not ours\n";
    settings.folder = base.string();
    {
        JournalService journal(settings);
        ASSERT_TRUE(journal.Start());
        journal.OnAppEvent(App(), watchdog_event::OutOfMemory{}, 1796786055123);
    }
    EXPECT_FALSE(fs::exists(base / "zelk-events-2000-01-01.jsonl"));
    EXPECT_TRUE(fs::exists(base / "keep.jsonl"));

    testing_support::LogCapture log;
    settings.folder = (base / "keep.jsonl" / "under a file").string();
    {
        JournalService journal(settings);
        ASSERT_TRUE(journal.Start());
        for (int i = 0; i < 3; ++i) {
            journal.OnAppEvent(App(), watchdog_event::OutOfMemory{}, 1796786055123);
        }
    }
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("WARNING|JournalService::Write|", 0), 0u) << lines[0];
}

// What a station's disk does to a running journal: its folder removed, a
// write that fails after part of a line. The folder is made again, and the
// line after a failure starts on a line of its own.
TEST(JournalWriter, AFolderRemovedAndAWriteFailedWhileRunning) {
    namespace fs = std::filesystem;
    testing_support::TempFolder folder;
    testing_support::LogCapture log;
    JournalSettings settings;
    settings.folder = (folder.path() / "journal").string();
    std::vector<fs::path> files;
    const auto listed = [&] {
        files.clear();
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(settings.folder, error)) {
            files.push_back(entry.path());
        }
        return files.size() == 1 &&
               testing_support::ReadWholeFile(files[0]).find('\n') != std::string::npos;
    };
    {
        JournalService journal(settings);
        ASSERT_TRUE(journal.Start());
        fs::remove_all(settings.folder);
        journal.OnAppEvent(App(), watchdog_event::Connected{1}, kTime.ms);
        ASSERT_TRUE(testing_support::WaitUntil(listed));
        // The day's file made unwritable; then back, with a line cut short.
        const fs::path day = files[0];
        const std::string before = testing_support::ReadWholeFile(day);
        fs::remove(day);
        fs::create_directory(day);
        journal.OnAppEvent(App(), watchdog_event::OutOfMemory{}, kTime.ms);
        ASSERT_TRUE(testing_support::WaitUntil([&] { return !log.Lines().empty(); }));
        fs::remove(day);
        std::ofstream(day, std::ios::binary) << before << "{\"time\":\"2026-12";
        journal.OnAppEvent(App(), watchdog_event::BufferOverflow{}, kTime.ms);
    }
    const std::string text = testing_support::ReadWholeFile(files[0]);
    EXPECT_NE(text.find("\"waits\":1"), std::string::npos) << text;
    EXPECT_NE(text.find("\"time\":\"2026-12\n{\"time\""), std::string::npos) << text;
    EXPECT_NE(text.find("buffer_overflow"), std::string::npos) << text;
}

}  // namespace
