#include "log/log_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../support/temp_folder.h"
#include "log/log.h"
#include "platform/files.h"
#include "platform/system.h"

namespace {

using testing_support::ReadWholeFile;
using testing_support::SplitLines;
using testing_support::TempFolder;

constexpr int64_t kDay = 86400;
// Noon, local time, on some day: far from midnight whatever the time zone.
int64_t NoonOf(int64_t seconds) {
    std::tm t{};
    platform::LocalTime(seconds, &t);
    return seconds - (t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec) + 12 * 3600;
}

const std::regex& LineFormat() {
    static const std::regex format(
        R"(--(FATAL|WARNING|MONITOR|NOTICE|TRACE|DEBUG)-- \[(Sun|Mon|Tue|Wed|Thu|Fri|Sat) )"
        R"((Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d\d \d\d:\d\d:\d\d \d{4}\]  )"
        R"(\[Line:\d{4,}\]  [^ ]+ : -?\d+ , .*)");
    return format;
}

struct WriterFixture : ::testing::Test {
    TempFolder folder;
    int64_t now = NoonOf(1765195200);  // a December day
    std::vector<std::string> debugLines;
    std::mutex debugMutex;
    LogWriter writer{folder.WithSeparator(), [this] { return now; },
                     [this](const char* text) {
                         std::lock_guard<std::mutex> lock(debugMutex);
                         debugLines.push_back(text);
                     }};

    std::string TodayText() { return ReadWholeFile(writer.FilePathFor(now)); }
    void Touch(const std::string& path) {
        platform::ExclusiveAppendFile file;
        ASSERT_TRUE(file.Open(path));
    }
};

TEST_F(WriterFixture, CreatesTheFolderAndWritesOneLine) {
    ASSERT_FALSE(std::filesystem::exists(folder.path() / "ZELK_LOG"));
    writer.Write(4, 126, "CDaemon::Start", 0, "Start Server!");

    std::string expectedName = writer.FilePathFor(now);
    EXPECT_EQ(std::filesystem::path(expectedName).parent_path(), folder.path() / "ZELK_LOG");
    EXPECT_EQ(std::filesystem::path(expectedName).filename().string().substr(0, 9), "ZELK_LOG_");

    std::vector<std::string> lines = SplitLines(TodayText());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(lines[0], LineFormat())) << lines[0];
    EXPECT_NE(lines[0].find("]  [Line:0126]  CDaemon::Start : 0 , Start Server!"),
              std::string::npos);
    EXPECT_TRUE(debugLines.empty());
}

TEST_F(WriterFixture, PurgesExactlyTheFileOfSevenDaysBack) {
    writer.Write(4, 1, "F", 0, "first");
    std::string sevenBack = writer.FilePathFor(now - 7 * kDay);
    std::string eightBack = writer.FilePathFor(now - 8 * kDay);
    std::string sixBack = writer.FilePathFor(now - 6 * kDay);
    Touch(sevenBack);
    Touch(eightBack);
    Touch(sixBack);

    writer.Write(4, 2, "F", 0, "second");
    EXPECT_FALSE(std::filesystem::exists(sevenBack));
    EXPECT_TRUE(std::filesystem::exists(eightBack));
    EXPECT_TRUE(std::filesystem::exists(sixBack));
    EXPECT_EQ(SplitLines(TodayText()).size(), 2u);
}

// A station's clock set a week ahead or back for a moment: the day's file
// stays, and so does a file the rule keeps; a clock that stays wrong for an
// hour is taken at its word again.
TEST_F(WriterFixture, AClockJumpRemovesNothingTheRuleKeeps) {
    int64_t mono = 1000;
    writer.SetMonotonicClock([&mono] { return mono; });
    const int64_t today = now;
    const std::string todayFile = writer.FilePathFor(today);
    const std::string twoWeeksBack = writer.FilePathFor(today - 14 * kDay);
    writer.Write(4, 1, "F", 0, "today");
    Touch(twoWeeksBack);

    now = today + 7 * kDay;  // ahead, for a few seconds
    mono += 5;
    writer.Write(4, 2, "F", 0, "ahead");
    now = today - 7 * kDay;  // and back, behind the true day
    mono += 5;
    writer.Write(4, 3, "F", 0, "behind");
    EXPECT_TRUE(std::filesystem::exists(todayFile));
    EXPECT_TRUE(std::filesystem::exists(twoWeeksBack));

    // Wrong but steady for an hour: the rule applies to the clock's day,
    // and still spares the file written today.
    now += 3600;
    mono += 3600;
    writer.Write(4, 4, "F", 0, "steady");
    EXPECT_FALSE(std::filesystem::exists(twoWeeksBack));
    now = today + 7 * kDay + 7200;
    mono += 3600;
    writer.Write(4, 5, "F", 0, "ahead again");
    mono += 3600;
    now += 3600;
    writer.Write(4, 6, "F", 0, "steady ahead");
    EXPECT_TRUE(std::filesystem::exists(todayFile));
}

TEST_F(WriterFixture, NextDayGoesToANewFile) {
    writer.Write(4, 1, "F", 0, "today");
    std::string today = writer.FilePathFor(now);
    now += kDay;
    writer.Write(4, 2, "F", 0, "tomorrow");
    EXPECT_NE(writer.FilePathFor(now), today);
    EXPECT_EQ(SplitLines(ReadWholeFile(today)).size(), 1u);
    EXPECT_EQ(SplitLines(TodayText()).size(), 1u);
}

TEST_F(WriterFixture, FileHeldByAnotherWriterLosesTheLineButStillPurges) {
    writer.Write(4, 1, "F", 0, "first");
    std::string sevenBack = writer.FilePathFor(now - 7 * kDay);
    Touch(sevenBack);

    platform::ExclusiveAppendFile holder;
    ASSERT_TRUE(holder.Open(writer.FilePathFor(now)));
    writer.Write(4, 2, "F", 0, "lost");
    holder.Close();

    EXPECT_EQ(SplitLines(TodayText()).size(), 1u);
    ASSERT_EQ(debugLines.size(), 1u);
    EXPECT_EQ(debugLines[0], "can't not open log file");
    EXPECT_FALSE(std::filesystem::exists(sevenBack));
}

TEST_F(WriterFixture, UnwritableFolderIsReportedAndNothingStops) {
    // A file where the log folder should be: the folder cannot be made and the
    // day's file cannot be opened.
    Touch((folder.path() / "ZELK_LOG").string());
    writer.Write(0, 1, "F", -1, "nowhere");
    ASSERT_FALSE(debugLines.empty());
    EXPECT_EQ(debugLines[0], "can't not open log file");
}

TEST_F(WriterFixture, ConcurrentWritersLoseNoLineAndNeverInterleave) {
    constexpr int kThreads = 20;
    constexpr int kLinesEach = 1000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < kLinesEach; ++i) {
                writer.Write(4, i, "Writer", t,
                             "thread " + std::to_string(t) + " line " + std::to_string(i));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    std::vector<std::string> lines = SplitLines(TodayText());
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLinesEach));
    std::set<std::string> seen;
    for (const std::string& line : lines) {
        ASSERT_TRUE(std::regex_match(line, LineFormat())) << line;
        seen.insert(line.substr(line.find("thread ")));
    }
    EXPECT_EQ(seen.size(), lines.size());
    EXPECT_TRUE(debugLines.empty());
}

// A day's file that takes what it is given and then fails as a full disk
// does: at the write, or only at the close, where buffered writes fail.
// A disk that fills up at the first line and has room again for the next.
class FullDiskFile final : public LogFile {
  public:
    FullDiskFile(std::size_t takes, bool closes, std::string* next)
        : takes_(takes), closes_(closes), next_(next) {}
    bool Open(const std::string&) override { return true; }
    std::size_t Write(const char* data, std::size_t size) override {
        if (++writes_ > 1) {
            next_->assign(data, size);
            return size;
        }
        return size < takes_ ? size : takes_;
    }
    bool Close() override { return writes_ > 1 || closes_; }

  private:
    std::size_t takes_;
    bool closes_;
    std::string* next_;
    int writes_ = 0;
};

TEST(LogWriterFailures, ALineThatDoesNotWhollyReachTheFileIsReportedOnce) {
    struct Case {
        std::size_t takes;
        bool closes;
        std::vector<std::string> said;
        bool cut;  // part of the line may be in the file: the next starts anew
    };
    const std::size_t kAll = 1 << 20;
    const Case cases[] = {
        {kAll, true, {}, false},
        {kAll, false, {"write log errors"}, true},  // buffered: the close fails
        {10, true, {"write log errors"}, true},     // cut short
        {0, false, {"write log errors"}, false},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        std::vector<std::string> said;
        std::string next;
        LogWriter writer(
            folder.WithSeparator(), [] { return int64_t{1765195200}; },
            [&said](const char* text) { said.push_back(text); },
            std::make_unique<FullDiskFile>(c.takes, c.closes, &next));
        writer.Write(4, 1, "F", 0, "a line");
        EXPECT_EQ(said, c.said) << c.takes << " " << c.closes;
        writer.Write(4, 1, "F", 0, "the next line");
        EXPECT_EQ(next.rfind(c.cut ? "\n--" : "--", 0), 0u) << c.takes << " " << c.closes;
    }
}

TEST(ProcessLog, WriteLogFormatsAndUsesTheProcessWriter) {
    TempFolder folder;
    int64_t now = NoonOf(1765195200);
    ProcessLogWriter().Reset(
        folder.WithSeparator(), [now] { return now; }, [](const char*) {});
    ZELK_LOG(LogLevel::kFatal, -5, "%s has %d", "app", 3);
    std::string path = ProcessLogWriter().FilePathFor(now);
    ProcessLogWriter().Reset(platform::FolderOf(platform::ExecutablePath()), platform::CurrentTime,
                             platform::DebugOutput);

    std::vector<std::string> lines = SplitLines(ReadWholeFile(path));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(lines[0], LineFormat())) << lines[0];
    EXPECT_NE(
        lines[0].find(
            "ProcessLog_WriteLogFormatsAndUsesTheProcessWriter_Test::TestBody : -5 , app has 3"),
        std::string::npos)
        << lines[0];
}

}  // namespace
