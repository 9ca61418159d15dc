// The event journal's writer against a real folder: lines whole and in
// order in the day's file, old days removed, a folder that goes away or
// cannot be written. (Which events make which lines: tests/supervision; the
// lines, times and file names themselves: tests/journal.)
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

namespace {

// 2026-12-09 03:14:15.123 UTC.
constexpr int64_t kTimeMs = 1796786055123;

AppIdentity App() {
    AppIdentity app;
    app.index = 3;
    app.name = "sim \"one\"";
    app.endpoint = "127.0.0.1:7101";
    app.subApp = "recorder";
    return app;
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
            journal.OnAppEvent(App(), watchdog_event::Connected{i}, kTimeMs + i);
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
        journal.OnAppEvent(App(), watchdog_event::OutOfMemory{}, kTimeMs);
    }
    const std::string after = testing_support::ReadWholeFile(files[0]);
    EXPECT_NE(after.find("\"time\":\"2026-12\n{\"time\""), std::string::npos) << after;

    std::ofstream(base / "zelk-events-2000-01-01.jsonl") << "old\n";
    std::ofstream(base / "keep.jsonl") << "not ours\n";
    settings.folder = base.string();
    {
        JournalService journal(settings);
        ASSERT_TRUE(journal.Start());
        journal.OnAppEvent(App(), watchdog_event::OutOfMemory{}, kTimeMs);
    }
    EXPECT_FALSE(fs::exists(base / "zelk-events-2000-01-01.jsonl"));
    EXPECT_TRUE(fs::exists(base / "keep.jsonl"));

    testing_support::LogCapture log;
    settings.folder = (base / "keep.jsonl" / "under a file").string();
    {
        JournalService journal(settings);
        ASSERT_TRUE(journal.Start());
        for (int i = 0; i < 3; ++i) {
            journal.OnAppEvent(App(), watchdog_event::OutOfMemory{}, kTimeMs);
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
        journal.OnAppEvent(App(), watchdog_event::Connected{1}, kTimeMs);
        ASSERT_TRUE(testing_support::WaitUntil(listed));
        // The day's file made unwritable; then back, with a line cut short.
        const fs::path day = files[0];
        const std::string before = testing_support::ReadWholeFile(day);
        fs::remove(day);
        fs::create_directory(day);
        journal.OnAppEvent(App(), watchdog_event::OutOfMemory{}, kTimeMs);
        ASSERT_TRUE(testing_support::WaitUntil([&] { return !log.Lines().empty(); }));
        fs::remove(day);
        std::ofstream(day, std::ios::binary) << before << "{\"time\":\"2026-12";
        journal.OnAppEvent(App(), watchdog_event::BufferOverflow{}, kTimeMs);
    }
    const std::string text = testing_support::ReadWholeFile(files[0]);
    EXPECT_NE(text.find("\"waits\":1"), std::string::npos) << text;
    EXPECT_NE(text.find("\"time\":\"2026-12\n{\"time\""), std::string::npos) << text;
    EXPECT_NE(text.find("buffer_overflow"), std::string::npos) << text;
}

}  // namespace
