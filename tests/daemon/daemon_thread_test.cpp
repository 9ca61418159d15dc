#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "daemon/daemon.h"
#include "supervisor_fixture.h"

namespace {

using testing_support::SupervisorFixture;

// Nothing listens on this loopback port: every connect is refused.
const char kClosedPort[] = "1";

class DaemonThreadTest : public SupervisorFixture {
  protected:
    void WriteConfig(const std::string& apps) {
        std::ofstream(folder.path() / "config.xml", std::ios::binary)
            << "<?xml version=\"1.0\"?>\n<config>\n"
            << apps << "</config>\n";
    }
    static std::string App(const std::string& name, const std::string& path,
                           const std::string& port) {
        return "<app name=\"" + name + "\" path=\"" + path + "\"><socket ip=\"127.0.0.1\" port=\"" +
               port + "\"/></app>\n";
    }
    static DaemonTimings Short() {
        DaemonTimings timings;
        timings.readWaitMs = 20;
        timings.failedReadSleepMs = 5;
        timings.threadStartPauseMs = 1;
        return timings;
    }
    int CountMessages(const std::string& message) const {
        std::vector<std::string> all = Messages("CDaemon::DaemonThread");
        return static_cast<int>(std::count(all.begin(), all.end(), message));
    }
};

TEST_F(DaemonThreadTest, ApplicationThatRefusesIsSilenceClosedThenLaunchedThenReconnected) {
    std::string app = CopyTestApp("app", UniqueStem("zelk_down_"));
    std::string name = FileName(app);
    std::string marker = (folder.path() / "launched.txt").string();
    // &quot; keeps the quotes of the command line inside the attribute.
    WriteConfig(App(name, "&quot;" + app + "&quot; &quot;" + marker + "&quot; 60", kClosedPort));
    CDaemon daemon;
    daemon.Init(folder.WithSeparator());
    daemon.SetTimings(Short());
    ASSERT_TRUE(daemon.Start());
    EXPECT_EQ(daemon.ThreadCount(), 1);
    // First round: nothing to close, then the launch. Second round: the
    // launched program is terminated and launched again. The test follows
    // the launches by their marker file; the log is read only after the
    // stop, since a reader would make the writers' exclusive opens fail on
    // Windows.
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(marker); }));
    // The program may still hold the file open, and Windows refuses to
    // remove an open file.
    ASSERT_TRUE(WaitUntil([&] {
        std::error_code ignored;
        std::filesystem::remove(marker, ignored);
        return !std::filesystem::exists(marker);
    }));
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(marker); }));
    daemon.Stop();
    daemon.CloseExe(name);
    // The thread writes its last line before it lowers the count, so the
    // line is there as soon as Stop returns.
    EXPECT_EQ(CountMessages("Thread exit!"), 1);
    EXPECT_EQ(LostLines().load(), 0);
    EXPECT_EQ(daemon.ThreadCount(), 0);

    std::vector<std::string> lines = Messages("CDaemon::DaemonThread");
    ASSERT_GE(lines.size(), 44u);
    std::vector<std::string> expected;
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 30 && expected.size() < 44; ++i) {
            expected.push_back(name + " CONNECTING 127.0.0.1 " + std::to_string(i) + "count");
            if (i == 9)
                expected.push_back("connect time out, try close process:" + name);
            if (i == 19)
                expected.push_back("connect time out, try open process:" + name);
            if (i == 29)
                expected.push_back("connect time out, goto loop");
        }
    }
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 44), expected)
        << "a refused connect must never read as readable";
    EXPECT_EQ(lines.back(), "Thread exit!");
    std::vector<std::string> launched = Messages("CDaemon::OpenExe");
    ASSERT_EQ(launched.size(), 4u);
    EXPECT_EQ(launched[1].rfind("Create Process success:", 0), 0u) << launched[1];
    // The second round's close found the first launch running (the last
    // line is the clean-up after the stop).
    std::vector<std::string> closed = Messages("CDaemon::CloseExe");
    ASSERT_EQ(closed.size(), 2u);
    EXPECT_EQ(closed[0], "Terminate Process success:" + name);
}

TEST_F(DaemonThreadTest, StartTakesTwentyOfTwentyFiveAndStopEndsEveryThreadOnce) {
    std::string apps;
    for (int i = 0; i < 25; ++i) {
        apps += App(UniqueStem("zelk_many_") + "_" + std::to_string(i), "", kClosedPort);
    }
    WriteConfig(apps);
    CDaemon daemon;
    daemon.Init(folder.WithSeparator());
    DaemonTimings timings = Short();
    timings.readWaitMs = 50;
    daemon.SetTimings(timings);
    ASSERT_TRUE(daemon.Start());
    EXPECT_TRUE(daemon.IsRunning());
    EXPECT_EQ(daemon.ThreadCount(), 20);
    EXPECT_TRUE(daemon.Stop());
    EXPECT_EQ(daemon.ThreadCount(), 0);
    // Twenty threads ending together contend for the log file; the writer
    // serialises them, and each thread writes its last line before it lowers
    // the count, so every line is there when Stop returns.
    EXPECT_EQ(CountMessages("Thread exit!"), 20);
    EXPECT_EQ(LostLines().load(), 0);
}

TEST_F(DaemonThreadTest, ConfigurationWithoutApplicationsStartsNothing) {
    WriteConfig("<other/>");
    CDaemon daemon;
    daemon.Init(folder.WithSeparator());
    daemon.SetTimings(Short());
    EXPECT_FALSE(daemon.Start());
    EXPECT_FALSE(daemon.IsRunning());
    EXPECT_EQ(daemon.ThreadCount(), 0);
    EXPECT_EQ(Messages("CDaemon::Start"), std::vector<std::string>{"Start Server!"});
}

}  // namespace
