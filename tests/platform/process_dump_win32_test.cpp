// The minidumps of dbghelp, read back with the format's own reader: what
// they hold of the stand-in, and an abandoned dump of a live process, which
// goes on until the process is terminated and leaves nothing behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "../support/minidump_reader.h"
#include "dump_fixture.h"
#include "platform/process_dump.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool Holds(const std::vector<uint32_t>& streams, uint32_t type) {
    return std::find(streams.begin(), streams.end(), type) != streams.end();
}

}  // namespace

void ExpectDumpShowsStandIn(const std::string& dump, const std::string& standIn) {
    const testing_support::Minidump read =
        testing_support::ReadMinidump(testing_support::ReadWholeFile(dump));
    ASSERT_TRUE(read.valid);
    const std::string exe = Lower(std::filesystem::path(standIn).filename().string());
    EXPECT_TRUE(std::any_of(read.modules.begin(), read.modules.end(),
                            [&](const std::string& module) {
                                const std::string name = Lower(module);
                                return name.size() >= exe.size() &&
                                       name.compare(name.size() - exe.size(), exe.size(), exe) == 0;
                            }))
        << "the stand-in's executable among " << read.modules.size() << " modules";
    EXPECT_GE(read.threadIds.size(), 2u) << "the stand-in's two threads";
    EXPECT_EQ(std::count(read.threadIds.begin(), read.threadIds.end(), 0u), 0);
    // Wine's dbghelp writes no handle, unloaded-module or thread-info
    // streams, whatever the type asks for, so only the memory is checked.
    EXPECT_FALSE(Holds(read.streamTypes, testing_support::kMemory64ListStream))
        << "a mini dump holds no whole memory";
}

namespace {

using platform::DumpKind;
using platform::DumpResult;
using platform::WriteProcessDump;

using MiniDumps = testing_support::DumpFixture;

TEST_F(MiniDumps, AbandonsADumpPastItsTimeLimitAndLeavesNothingOnceTheProcessEnds) {
    struct Case {
        int mebibytes;
        DumpKind kind;
        uint32_t limitMs;
    };
    // Abandoned while dbghelp reads the modules, and while it writes a whole
    // memory of 256 MiB, which takes seconds: the dump still runs when the
    // process is terminated.
    for (const Case& c : {Case{0, DumpKind::kMini, 20}, Case{256, DumpKind::kFull, 300}}) {
        const uint32_t id = StartStandIn(c.mebibytes);
        const platform::DumpOutcome late =
            WriteProcessDump(id, DumpPath("late.dmp"), c.kind, c.limitMs);
        EXPECT_EQ(late.result, DumpResult::kTimedOut);
        EXPECT_LT(late.milliseconds, c.limitMs + 2000u + 3000u) << "the limit and the last wait";
        // As the daemon does next: the process is terminated, and the dump
        // of it ends with it.
        int32_t error = 0;
        EXPECT_TRUE(platform::TerminateProcessById(id, &error)) << error;
        EXPECT_TRUE(testing_support::WaitUntil([&] { return EvidenceNames().empty(); }, 60));
        ASSERT_TRUE(testing_support::WaitUntil([&] { return !IsRunning(id); }));
        standInId = 0;
        std::error_code held;
        EXPECT_TRUE(std::filesystem::remove(standIn, held))
            << "nothing holds the application's executable open (" << held.message() << ")";
    }
}

TEST(ExecutableVersion, ReadsTheVersionResource) {
    const char* root = std::getenv("SystemRoot");
    const std::string kernel =
        std::string(root != nullptr ? root : "C:\\windows") + "\\system32\\kernel32.dll";
    const std::string version = platform::ExecutableVersion(kernel);
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 3) << version;
    EXPECT_EQ(platform::ExecutableVersion(platform::ExecutablePath()), "") << "no version resource";
    EXPECT_EQ(
        platform::ExecutableVersion(platform::FolderOf(platform::ExecutablePath()) + "missing.exe"),
        "");
}

}  // namespace
