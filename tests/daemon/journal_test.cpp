// The event journal's writer against a real folder: lines whole and in
// order in the day's file, old days removed, a folder that goes away or
// cannot be written. (Which events make which lines: tests/supervision; the
// lines, times and file names themselves: tests/journal.)
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "../support/temp_folder.h"
#include "../support/wait_until.h"
#include "daemon/journal_writer.h"
#include "log_capture.h"
#include "platform/files.h"

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

    // Beyond the newest two days, what is older than two days goes.
    for (const char* day : {"2000-01-01", "2000-01-02", "2000-01-03"}) {
        std::ofstream(base / ("zelk-events-" + std::string(day) + ".jsonl")) << "old\n";
    }
    std::ofstream(base / "keep.jsonl") << "not ours\n";
    settings.folder = base.string();
    {
        JournalService journal(settings);
        ASSERT_TRUE(journal.Start());
        journal.OnAppEvent(App(), watchdog_event::OutOfMemory{}, kTimeMs);
    }
    EXPECT_FALSE(fs::exists(base / "zelk-events-2000-01-01.jsonl"));
    EXPECT_FALSE(fs::exists(base / "zelk-events-2000-01-02.jsonl"));
    EXPECT_TRUE(fs::exists(base / "zelk-events-2000-01-03.jsonl"));
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

// The station's clock and the steady one, set by the tests below; and an
// append that can be held, as a disk that does not answer holds it.
std::atomic<int64_t> g_wallMs{kTimeMs};
std::atomic<int64_t> g_steadyMs{0};
std::atomic<bool> g_appendHeld{false};
std::atomic<int> g_appendsWaiting{0};

bool HeldAppend(const std::string& path, const std::string& content, int32_t* error) {
    ++g_appendsWaiting;
    while (g_appendHeld.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const bool appended = platform::AppendToFile(path, content, error);
    --g_appendsWaiting;
    return appended;
}

const JournalSeams kFakeSeams{[] { return g_wallMs.load(); }, [] { return g_steadyMs.load(); },
                              HeldAppend, 200};

std::vector<std::string> JournalFiles(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A clock set 400 days ahead for a moment, as a GPS or NTP correction or a
// wrong manual setting does: every day's file stays, the jump is one line
// of its own and one warning.
TEST(JournalWriter, AClockJumpRemovesNoFile) {
    testing_support::TempFolder folder;
    testing_support::LogCapture log;
    for (int day = 1; day <= 9; ++day) {
        std::ofstream(folder.path() / ("zelk-events-2026-12-0" + std::to_string(day) + ".jsonl"))
            << "{}\n";
    }
    JournalSettings settings;
    settings.folder = folder.path().string();
    settings.days = 3;
    const int64_t ahead = kTimeMs + 400LL * 86400000;
    g_wallMs = ahead;
    {
        JournalService journal(settings, kFakeSeams);
        ASSERT_TRUE(journal.Start());
        journal.OnDaemonEvent(daemon_event::ClockJump{kTimeMs, ahead}, ahead);
        journal.OnAppEvent(App(), watchdog_event::Connected{1}, ahead);
    }
    const std::vector<std::string> files = JournalFiles(folder.path());
    ASSERT_EQ(files.size(), 10u);
    EXPECT_EQ(files.back(), "zelk-events-2028-01-13.jsonl");
    const std::string text = testing_support::ReadWholeFile(folder.path() / files.back());
    EXPECT_NE(text.find("\"event\":\"clock_jump\",\"from\":\"2026-12-09T"), std::string::npos)
        << text;
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("WARNING|JournalService::Run|0|event journal in ", 0), 0u) << lines[0];
}

// Each day's file tells the whole day: it begins with the state of every
// application, at the first line of the day and on a quiet station at
// midnight itself.
TEST(JournalWriter, EachDayBeginsWithTheStates) {
    testing_support::TempFolder folder;
    JournalSettings settings;
    settings.folder = folder.path().string();
    const int64_t day = 86400000;
    g_wallMs = kTimeMs;
    AppIdentity quiet = App();
    quiet.index = 4;
    quiet.name = "quiet";
    {
        JournalService journal(settings, kFakeSeams);
        ASSERT_TRUE(journal.Start());
        journal.OnDaemonEvent(daemon_event::Started{5, "1.0.0"}, kTimeMs);
        journal.OnAppEvent(quiet, watchdog_event::ConnectingWait{1}, kTimeMs + 500);
        journal.OnAppEvent(App(), watchdog_event::Connected{1}, kTimeMs + 1000);
        journal.OnAppEvent(App(), watchdog_event::SilentWait{1}, kTimeMs + 2000);
        // The next day's first line.
        journal.OnAppEvent(App(), watchdog_event::Resumed{Cycle::kSilent, 3}, kTimeMs + day);
        ASSERT_TRUE(
            testing_support::WaitUntil([&] { return JournalFiles(folder.path()).size() == 2; }));
        // The day after, without a line: midnight alone.
        g_wallMs = kTimeMs + 2 * day;
        ASSERT_TRUE(
            testing_support::WaitUntil([&] { return JournalFiles(folder.path()).size() == 3; }));
    }
    const std::vector<std::string> files = JournalFiles(folder.path());
    ASSERT_EQ(files.size(), 3u);
    const std::string second = testing_support::ReadWholeFile(folder.path() / files[1]);
    const std::string states =
        R"("event":"state","app":"sim \"one\"","index":3,"endpoint":"127.0.0.1:7101",)"
        R"("state":"silent","since":")";
    EXPECT_NE(second.find(states), std::string::npos) << second;
    EXPECT_LT(second.find(states), second.find("\"resumed\"")) << second;
    EXPECT_NE(
        second.find(R"("app":"quiet","index":4,"endpoint":"127.0.0.1:7101","state":"connecting")"),
        std::string::npos)
        << second;
    const std::string third = testing_support::ReadWholeFile(folder.path() / files[2]);
    EXPECT_NE(third.find(R"("index":3,"endpoint":"127.0.0.1:7101","state":"connected")"),
              std::string::npos)
        << third;
}

// A disk that does not answer holds the writer: the stop waits a few
// seconds, then says what it could not write instead of waiting on.
TEST(JournalWriter, TheStopDoesNotWaitForADiskThatHangs) {
    testing_support::TempFolder folder;
    testing_support::LogCapture log;
    JournalSettings settings;
    settings.folder = folder.path().string();
    g_wallMs = kTimeMs;
    g_appendHeld = true;
    {
        JournalService journal(settings, kFakeSeams);
        ASSERT_TRUE(journal.Start());
        journal.OnAppEvent(App(), watchdog_event::Connected{1}, kTimeMs);
        ASSERT_TRUE(testing_support::WaitUntil([] { return g_appendsWaiting.load() == 1; }));
        for (int i = 0; i < 5; ++i) {
            journal.OnAppEvent(App(), watchdog_event::OutOfMemory{}, kTimeMs);
        }
        const auto start = std::chrono::steady_clock::now();
        journal.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
    g_appendHeld = false;
    ASSERT_TRUE(testing_support::WaitUntil([] { return g_appendsWaiting.load() == 0; }));
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("JournalService::Stop|0|event journal in "), std::string::npos);
    EXPECT_NE(lines[0].find(": 5 lines not written"), std::string::npos) << lines[0];
}

}  // namespace
