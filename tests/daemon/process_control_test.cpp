#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "daemon/daemon.h"
#include "supervisor_fixture.h"

namespace {

using testing_support::LogLine;
using testing_support::SupervisorFixture;

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

class ProcessControl : public SupervisorFixture {};

TEST_F(ProcessControl, OpenExeStartsAProgramThatLeavesAMarker) {
    std::string app = CopyTestApp("a", UniqueStem("zelk_open_"));
    std::string marker = (folder.path() / "marker.txt").string();
    std::string command = Quoted(app) + " " + Quoted(marker) + " 30";
    CDaemon daemon;
    EXPECT_EQ(daemon.OpenExe(command), 1);
    EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(marker); }))
        << "the launched program never ran";
    EXPECT_EQ(daemon.CloseExe(FileName(app)), 1);

    std::vector<std::string> expected = {"WTSGetActiveConsoleSessionId",
                                         "Create Process success:" + command};
    EXPECT_EQ(Messages("CDaemon::OpenExe"), expected);
}

TEST_F(ProcessControl, OpenExeReportsAProgramThatCannotStart) {
    std::string missing = (folder.path() / "no_such_program").string();
    CDaemon daemon;
    EXPECT_EQ(daemon.OpenExe(missing), 0);
    EXPECT_EQ(daemon.OpenExe(""), 0);
    std::vector<LogLine> lines;
    for (const auto& line : Log()) {
        if (line.function == "CDaemon::OpenExe") {
            lines.push_back(line);
        }
    }
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].message, "Create Process Fail:" + missing);
    EXPECT_NE(lines[1].code, 0) << "the platform's error code is logged";
    EXPECT_EQ(lines[3].message, "Create Process Fail:");
}

TEST_F(ProcessControl, CloseExeTerminatesEveryProcessOfTheNameAndSparesAnotherCase) {
    std::string stem = UniqueStem("ZelkClose_");
    std::string upper = CopyTestApp("upper", stem);
    std::string lowerStem = stem;
    lowerStem[0] = 'z';
    std::string lower = CopyTestApp("lower", lowerStem);
    CDaemon daemon;
    for (const std::string& app : {upper, upper, lower}) {
        ASSERT_EQ(daemon.OpenExe(Quoted(app) + " \"\" 60"), 1);
    }
    ASSERT_TRUE(WaitUntil([&] {
        return CountProcesses(FileName(upper)) == 2 && CountProcesses(FileName(lower)) == 1;
    }));

    EXPECT_EQ(daemon.CloseExe(FileName(upper)), 1);
    EXPECT_TRUE(WaitUntil([&] { return CountProcesses(FileName(upper)) == 0; }));
    EXPECT_EQ(CountProcesses(FileName(lower)), 1) << "letter case matters";
    std::vector<std::string> closed = Messages("CDaemon::CloseExe");
    EXPECT_EQ(closed, std::vector<std::string>(2, "Terminate Process success:" + FileName(upper)));

    EXPECT_EQ(daemon.CloseExe(FileName(upper)), 0) << "none of that name is left";
    EXPECT_EQ(daemon.CloseExe(""), -1);
    EXPECT_EQ(daemon.CloseExe(FileName(lower)), 1);
    EXPECT_TRUE(WaitUntil([&] { return CountProcesses(FileName(lower)) == 0; }));
}

}  // namespace

namespace {

// The children of this process that have ended and not been collected,
// read from /proc. Empty where there is no /proc.
int CountZombieChildren() {
    std::ifstream self("/proc/self/stat");
    long ownId = 0;
    self >> ownId;
    int zombies = 0;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        std::getline(stat, text);
        // "pid (command) state ppid ...": the command may hold blanks and parentheses.
        std::size_t close = text.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream fields(text.substr(close + 1));
        char state = 0;
        long parent = 0;
        fields >> state >> parent;
        zombies += state == 'Z' && parent == ownId ? 1 : 0;
    }
    return zombies;
}

TEST_F(ProcessControl, ALaunchedProgramThatEndsIsNotLeftAsAZombie) {
    if (!std::filesystem::exists("/proc/self/stat")) {
        GTEST_SKIP() << "processes are collected by the system here";
    }
    std::string app = CopyTestApp("z", UniqueStem("zelk_brief_"));
    std::string marker = (folder.path() / "brief.txt").string();
    CDaemon daemon;
    ASSERT_EQ(daemon.OpenExe(Quoted(app) + " " + Quoted(marker) + " 0"), 1);
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(marker); }));
    EXPECT_TRUE(WaitUntil([&] { return CountProcesses(FileName(app)) == 0; }));
    EXPECT_TRUE(WaitUntil([&] { return CountZombieChildren() == 0; }, 5));
}

}  // namespace
