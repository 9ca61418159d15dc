#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>

#include "daemon/daemon.h"
#include "supervision/event_hub.h"
#include "supervisor_fixture.h"

// After the daemon's headers: windows.h declares a function ControlService.
#include "../support/loopback_listener.h"

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

// The connection attempts and thread starts of each application by name.
class StartCounter final : public EventConsumer {
  public:
    void OnAppEvent(const AppIdentity& app, const WatchdogEvent& event, int64_t) override {
        std::lock_guard<std::mutex> hold(mutex_);
        if (event.Is<watchdog_event::ConnectionAttempt>()) {
            ++connects_[app.name];
        } else if (event.Is<watchdog_event::ThreadStart>()) {
            ++threads_[app.name];
        }
    }
    void OnDaemonEvent(const DaemonEvent&, int64_t) override {}
    int Connects(const std::string& name) {
        std::lock_guard<std::mutex> hold(mutex_);
        return connects_[name];
    }
    int Threads(const std::string& name) {
        std::lock_guard<std::mutex> hold(mutex_);
        return threads_[name];
    }

  private:
    std::mutex mutex_;
    std::map<std::string, int> connects_;
    std::map<std::string, int> threads_;
};

TEST_F(DaemonThreadTest, ReloadReplacesOnlyWhatChangedAndRefusesABrokenFile) {
    using testing_support::LoopbackListener;
    CDaemon daemon;  // first: it starts the socket library the listeners need on Windows
    LoopbackListener keptPort, oldPort, newPort, addedPort;
    const auto port = [](LoopbackListener& l) { return std::to_string(ntohs(l.NetworkPort())); };
    const std::string kept = UniqueStem("zelk_kept_"), moved = UniqueStem("zelk_moved_"),
                      gone = UniqueStem("zelk_gone_"), added = UniqueStem("zelk_added_");
    WriteConfig(App(kept, "", port(keptPort)) + App(moved, "", port(oldPort)) +
                App(gone, "", kClosedPort));
    daemon.Init(folder.WithSeparator());
    DaemonTimings timings = Short();
    timings.readWaitMs = 250;  // no count reaches an action within the test
    daemon.SetTimings(timings);
    StartCounter counter;
    daemon.AddEventConsumer(&counter);
    ASSERT_TRUE(daemon.Start());
    ASSERT_TRUE(keptPort.Accept());
    ASSERT_TRUE(oldPort.Accept());
    keptPort.Send("<handshake></handshake>");

    WriteConfig(App(kept, "", port(keptPort)) + App(moved, "", port(newPort)) +
                App(added, "", port(addedPort)));
    ControlAnswer answer = daemon.Reload(true);
    EXPECT_TRUE(answer.ok) << answer.message;
    EXPECT_TRUE(answer.dryRun);
    EXPECT_EQ(answer.message.rfind("config.xml would reload: changed " + moved + ", removed " +
                                       gone + ", added " + added,
                                   0),
              0u)
        << answer.message;
    EXPECT_EQ(counter.Threads(added), 0);

    answer = daemon.Reload(false);
    ASSERT_TRUE(answer.ok) << answer.message;
    ASSERT_EQ(answer.changes.size(), 3u);
    EXPECT_EQ(answer.changes[0].fields, std::vector<std::string>{"port"});
    EXPECT_NE(answer.message.find("processes are left running"), std::string::npos);
    EXPECT_EQ(daemon.ThreadCount(), 3);
    EXPECT_TRUE(newPort.Accept()) << "the moved application is watched on its new port";
    EXPECT_TRUE(addedPort.Accept());
    EXPECT_EQ(counter.Threads(kept), 1);
    EXPECT_EQ(counter.Connects(kept), 1) << "the unchanged watchdog kept its connection";

    WriteConfig(App(kept, "", port(keptPort)) + App(kept, "", port(newPort)));
    answer = daemon.Reload(false);
    EXPECT_FALSE(answer.ok);
    EXPECT_EQ(answer.error, "config_error");
    EXPECT_FALSE(answer.findings.empty());
    EXPECT_TRUE(answer.changes.empty());
    EXPECT_EQ(daemon.ThreadCount(), 3);
    daemon.Stop();
    EXPECT_EQ(counter.Threads(moved), 2);
    EXPECT_EQ(counter.Connects(kept), 1);
    EXPECT_EQ(CountMessages("Thread exit!"), 5);
}

}  // namespace
