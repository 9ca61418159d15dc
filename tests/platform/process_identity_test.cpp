// A process told by its id and its start: the caller's own runs, and an id
// that names no process, or a start that is not its process's, is gone.
#include "platform/process_identity.h"

#include <gtest/gtest.h>

namespace {

using platform::ProcessLiveness;

TEST(ProcessIdentity, TheCallerRunsAndAnotherIdentityIsGone) {
    const platform::ProcessIdentity own = platform::OwnProcess();
    ASSERT_NE(own.id, 0u);
    EXPECT_EQ(platform::ProcessRuns(own), ProcessLiveness::kRuns);
    // Only the id asked after.
    EXPECT_EQ(platform::ProcessRuns({own.id, 0}), ProcessLiveness::kRuns);
    // No system hands out an id this high.
    EXPECT_EQ(platform::ProcessRuns({0xFFFFFFF0u, own.start}), ProcessLiveness::kGone);
    if (own.start != 0) {
        // The id taken again by a later process.
        EXPECT_EQ(platform::ProcessRuns({own.id, own.start + 1}), ProcessLiveness::kGone);
        EXPECT_EQ(platform::OwnProcess().start, own.start);
    }
}

}  // namespace
