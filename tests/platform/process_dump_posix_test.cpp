// The dumps of gcore: what gdb reads from them, and what only POSIX can
// show: a process gdb must not leave stopped, a missing gcore, a full disk.
#include <fcntl.h>
#include <sched.h>
#include <stdio.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "dump_fixture.h"
#include "platform/process_dump.h"

namespace {

// What `command` printed, standard error included.
std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        std::size_t got;
        while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
            text.append(buffer, got);
        }
        pclose(pipe);
    }
    return text;
}

// The state letter of process `id` in /proc ('T' or 't' when stopped).
char ProcessState(uint32_t id) {
    std::ifstream in("/proc/" + std::to_string(id) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t name = text.rfind(')');
    return name != std::string::npos && name + 2 < text.size() ? text[name + 2] : '?';
}

}  // namespace

void ExpectDumpShowsStandIn(const std::string& dump, const std::string& standIn) {
    struct stat info;
    ASSERT_EQ(stat(dump.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "a dump holds the process's memory: its owner's alone";
    const std::string threads =
        Output("gdb --nx --batch -ex 'info threads' -ex bt '" + standIn + "' '" + dump + "'");
    EXPECT_NE(threads.find(" main ("), std::string::npos) << threads;
    EXPECT_NE(threads.find("  2    Thread "), std::string::npos) << "both threads\n" << threads;
}

namespace {

using platform::DumpKind;
using platform::DumpResult;
using platform::WriteProcessDump;

using GcoreDumps = testing_support::DumpFixture;

// Runs `body` with PATH holding only `folder`, as the dump writer looks up gcore.
template <typename Body>
void WithPath(const std::filesystem::path& folder, Body body) {
    const char* old = std::getenv("PATH");
    const std::string path = old != nullptr ? old : "";
    setenv("PATH", folder.c_str(), 1);
    body();
    setenv("PATH", path.c_str(), 1);
}

TEST_F(GcoreDumps, AbandonsADumpPastItsTimeLimitAndLeavesTheProcessRunning) {
    const uint32_t id = StartStandIn(64);
    const platform::DumpOutcome whole =
        WriteProcessDump(id, DumpPath("whole.core"), DumpKind::kFull);
    ASSERT_EQ(whole.result, DumpResult::kWritten) << whole.error;
    for (uint32_t limit : {1u, whole.milliseconds / 2}) {
        const platform::DumpOutcome late =
            WriteProcessDump(id, DumpPath("late.core"), DumpKind::kFull, limit);
        EXPECT_EQ(late.result, DumpResult::kTimedOut) << "limit " << limit;
        EXPECT_LT(late.milliseconds, limit + 5000) << "limit " << limit;
        EXPECT_EQ(EvidenceNames(), std::vector<std::string>{"whole.core"}) << "limit " << limit;
    }

    // gdb killed while it attaches may leave the process stopped; this
    // gcore always does, and hangs with part of a core written.
    const std::filesystem::path tools = folder.path() / "tools";
    std::filesystem::create_directories(tools);
    std::ofstream(tools / "gcore")
        << "#!/bin/sh\nkill -STOP \"$3\"\nprintf partial > \"$2.$3\"\nexec /bin/sleep 60\n";
    std::filesystem::permissions(tools / "gcore", std::filesystem::perms::owner_all);
    WithPath(tools, [&] {
        const platform::DumpOutcome hung =
            WriteProcessDump(id, DumpPath("hung.core"), DumpKind::kMini, 1000);
        EXPECT_EQ(hung.result, DumpResult::kTimedOut);
    });
    EXPECT_EQ(EvidenceNames(), std::vector<std::string>{"whole.core"});
    EXPECT_TRUE(testing_support::WaitUntil([&] { return ProcessState(id) == 'S'; }, 5))
        << "state " << ProcessState(id);
}

TEST_F(GcoreDumps, FullTakesWhatTheCoredumpFilterLeavesOut) {
    const uint32_t id = StartStandIn(16);
    std::ofstream("/proc/" + std::to_string(id) + "/coredump_filter") << "0";
    const platform::DumpOutcome mini = WriteProcessDump(id, DumpPath("mini.core"), DumpKind::kMini);
    const platform::DumpOutcome full = WriteProcessDump(id, DumpPath("full.core"), DumpKind::kFull);
    ASSERT_EQ(mini.result, DumpResult::kWritten);
    ASSERT_EQ(full.result, DumpResult::kWritten);
    EXPECT_GT(full.bytes, mini.bytes + (16u << 20)) << "the 16 MiB the stand-in holds";
}

TEST_F(GcoreDumps, NotAvailableWithoutGcore) {
    WithPath(folder.path(), [&] {
        const platform::DumpOutcome outcome =
            WriteProcessDump(1, DumpPath("none.core"), DumpKind::kMini);
        EXPECT_EQ(outcome.result, DumpResult::kNotAvailable);
    });
    EXPECT_TRUE(EvidenceNames().empty());
}

TEST_F(GcoreDumps, ReportsAFullDiskAndLeavesNothing) {
    // A file system of 256 KiB in a mount namespace of this test's own, where
    // the system lets it have one.
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", evidence.c_str(), "tmpfs", 0, "size=256k") != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here: errno " << errno;
    }
    const uint32_t id = StartStandIn();
    const platform::DumpOutcome outcome =
        WriteProcessDump(id, DumpPath("full.core"), DumpKind::kMini);
    EXPECT_EQ(outcome.result, DumpResult::kFailed);
    EXPECT_EQ(outcome.error, ENOSPC);
    EXPECT_TRUE(EvidenceNames().empty());
    umount(evidence.c_str());
}

TEST(ExecutableVersion, NamesTheBuildIdSizeAndTime) {
    const std::string self = platform::ExecutablePath();
    const std::string version = platform::ExecutableVersion(self);
    EXPECT_EQ(version.rfind("build-id ", 0), 0u) << version;
    EXPECT_NE(version.find(", " + std::to_string(std::filesystem::file_size(self)) +
                           " bytes, modified 20"),
              std::string::npos)
        << version;

    testing_support::TempFolder folder;
    const std::string text = (folder.path() / "text").string();
    std::ofstream(text) << "not ELF";
    EXPECT_EQ(platform::ExecutableVersion(text).rfind("7 bytes, modified ", 0), 0u);
    EXPECT_EQ(platform::ExecutableVersion((folder.path() / "missing").string()), "");
}

}  // namespace
