#include "daemon/daemon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/temp_folder.h"
#include "log/log_writer.h"
#include "platform/system.h"

namespace {

using testing_support::ReadWholeFile;
using testing_support::SplitLines;
using testing_support::TempFolder;

int g_startups = 0;
int g_cleanups = 0;
void CountStartup() {
    ++g_startups;
}
void CountCleanup() {
    ++g_cleanups;
}

// Points the process log at a private folder with a fixed clock, counts the
// socket library calls, and restores both afterwards.
struct DaemonFixture : ::testing::Test {
    TempFolder folder;
    int64_t now = 1765195200;
    CDaemon::SocketLibraryHooks saved{};

    void SetUp() override {
        ProcessLogWriter().Reset(
            folder.WithSeparator(), [this] { return now; }, [](const char*) {});
        saved = CDaemon::SetSocketLibraryHooks({CountStartup, CountCleanup});
        g_startups = g_cleanups = 0;
    }
    void TearDown() override {
        CDaemon::SetSocketLibraryHooks(saved);
        ProcessLogWriter().Reset(platform::FolderOf(platform::ExecutablePath()),
                                 platform::CurrentTime, platform::DebugOutput);
    }

    // The message of every log line written so far, with its function name.
    std::vector<std::string> Messages() {
        std::vector<std::string> messages;
        for (const std::string& line :
             SplitLines(ReadWholeFile(ProcessLogWriter().FilePathFor(now)))) {
            std::size_t function = line.find("]  ", line.find("[Line:")) + 3;
            std::size_t colon = line.find(" : ", function);
            std::size_t comma = line.find(" , ", colon);
            messages.push_back(line.substr(function, colon - function) + "|" +
                               line.substr(comma + 3));
        }
        return messages;
    }
};

TEST_F(DaemonFixture, LifecycleWithoutApplicationsLogsEveryStep) {
    {
        CDaemon daemon;
        daemon.Init(folder.WithSeparator());
        EXPECT_EQ(daemon.ConfigPath(), folder.WithSeparator() + "config.xml");
        EXPECT_FALSE(daemon.Start());
        EXPECT_FALSE(daemon.IsRunning());
        EXPECT_TRUE(daemon.Stop());
        EXPECT_TRUE(daemon.Stop());
        EXPECT_EQ(daemon.ThreadCount(), 0);
    }
    std::vector<std::string> expected = {
        "CDaemon::CDaemon|Create Daemon!",
        "CDaemon::Start|Start Server!",
        "CDaemon::Stop|wait stop Server thread !",
        "CDaemon::Stop|stop Server thread over !",
        "CDaemon::Stop|Stop Server!",
        "CDaemon::Stop|wait stop Server thread !",
        "CDaemon::Stop|stop Server thread over !",
        "CDaemon::Stop|Stop Server!",
        "CDaemon::Stop|wait stop Server thread !",
        "CDaemon::Stop|stop Server thread over !",
        "CDaemon::Stop|Stop Server!",
        "CDaemon::~CDaemon|Destroy Daemon!",
    };
    EXPECT_EQ(Messages(), expected);
}

TEST_F(DaemonFixture, SocketLibraryFollowsTheInstanceCount) {
    int32_t before = CDaemon::InstanceCount();
    ASSERT_EQ(before, 0) << "no other supervisor lives in the test process";
    {
        CDaemon first;
        EXPECT_EQ(g_startups, 1);
        {
            CDaemon second;
            EXPECT_EQ(CDaemon::InstanceCount(), 2);
            EXPECT_EQ(g_startups, 1);
        }
        EXPECT_EQ(g_cleanups, 0) << "the first object still lives";
    }
    EXPECT_EQ(g_startups, 1);
    EXPECT_EQ(g_cleanups, 1);
    EXPECT_EQ(CDaemon::InstanceCount(), 0);
}

TEST_F(DaemonFixture, InitWithoutSeparatorGivesABareFileName) {
    CDaemon daemon;
    daemon.Init("");
    EXPECT_EQ(daemon.ConfigPath(), "config.xml");
}

}  // namespace
