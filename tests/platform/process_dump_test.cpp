#include "platform/process_dump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dump_fixture.h"

// Checks that `dump` shows the stand-in `standIn` with its threads; each
// platform reads its own kind of dump.
void ExpectDumpShowsStandIn(const std::string& dump, const std::string& standIn);

namespace {

using platform::DumpKind;
using platform::DumpResult;
using platform::WriteProcessDump;

using Dumps = testing_support::DumpFixture;

TEST_F(Dumps, WritesADumpOfARunningProcessAndLeavesItRunning) {
    const uint32_t id = StartStandIn();
    const std::string path = DumpPath("app-1.dmp");
    const auto before = std::chrono::steady_clock::now();
    const platform::DumpOutcome outcome = WriteProcessDump(id, path, DumpKind::kMini);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - before)
                          .count();
    ASSERT_EQ(outcome.result, DumpResult::kWritten) << "error " << outcome.error;
    EXPECT_EQ(outcome.bytes, std::filesystem::file_size(path));
    EXPECT_GT(outcome.milliseconds, 0u);
    EXPECT_LE(outcome.milliseconds, took + 1);
    EXPECT_EQ(EvidenceNames(), std::vector<std::string>{"app-1.dmp"})
        << "nothing is left beside the dump";
    EXPECT_TRUE(IsRunning(id));
    ExpectDumpShowsStandIn(path, standIn);
}

TEST_F(Dumps, NeverWritesOverNorThroughATakenName) {
    const uint32_t id = StartStandIn();
    const std::string planted = DumpPath("planted.dmp");
    std::ofstream(planted) << "planted";
    platform::DumpOutcome outcome = WriteProcessDump(id, planted, DumpKind::kMini);
    EXPECT_EQ(outcome.result, DumpResult::kFailed);
    EXPECT_NE(outcome.error, 0);
    EXPECT_EQ(testing_support::ReadWholeFile(planted), "planted");

    // A link planted under the name, pointing elsewhere: neither replaced nor followed.
    const std::filesystem::path target = folder.path() / "target.txt";
    std::error_code noLinks;
    std::filesystem::create_symlink(target, evidence / "link.dmp", noLinks);
    if (!noLinks) {
        outcome = WriteProcessDump(id, DumpPath("link.dmp"), DumpKind::kMini);
        EXPECT_EQ(outcome.result, DumpResult::kFailed);
        EXPECT_FALSE(std::filesystem::exists(target));
        EXPECT_TRUE(std::filesystem::is_symlink(evidence / "link.dmp"));
    }
    std::vector<std::string> names = EvidenceNames();
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected =
        noLinks ? std::vector<std::string>{"planted.dmp"}
                : std::vector<std::string>{"link.dmp", "planted.dmp"};
    EXPECT_EQ(names, expected);
}

TEST_F(Dumps, ADumpLargerThanItsBoundIsAbandonedAndLeavesNothing) {
    const uint32_t id = StartStandIn();
    const platform::DumpOutcome outcome = WriteProcessDump(
        id, DumpPath("bounded.dmp"), DumpKind::kMini, platform::kDumpTimeLimitMs, 4096);
    EXPECT_EQ(outcome.result, DumpResult::kTooLarge) << "error " << outcome.error;
    EXPECT_TRUE(EvidenceNames().empty());
    EXPECT_TRUE(IsRunning(id));
}

TEST_F(Dumps, ReportsWhatKeptTheDumpFromBeingWrittenAndLeavesNothing) {
    const platform::DumpOutcome gone =
        WriteProcessDump(0x7FFFFFF1u, DumpPath("gone.dmp"), DumpKind::kMini);
    EXPECT_EQ(gone.result, DumpResult::kFailed);
    EXPECT_NE(gone.error, 0) << "no such process";

    const uint32_t id = StartStandIn();
    const platform::DumpOutcome noFolder =
        WriteProcessDump(id, (evidence / "missing" / "app.dmp").string(), DumpKind::kMini);
    EXPECT_EQ(noFolder.result, DumpResult::kFailed);
    EXPECT_NE(noFolder.error, 0) << "no such folder";
    EXPECT_TRUE(EvidenceNames().empty());
    EXPECT_TRUE(IsRunning(id));
}

}  // namespace
