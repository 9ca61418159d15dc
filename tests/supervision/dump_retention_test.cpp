#include <gtest/gtest.h>

#include "supervision/dump_retention.h"

namespace {

constexpr uint64_t kMiB = 1024 * 1024;

struct Case {
    const char* name;
    std::vector<KeptDump> kept;
    int64_t upcomingBytes;  // of a dump of "a" about to be written; -1: none
    DumpRetentionSettings settings;
    bool write;
    std::vector<std::string> remove;
};

TEST(DumpRetention, RemovesTheOldestBeyondTheShareAndTheBudget) {
    const std::vector<KeptDump> a3 = {{"a", "a-3", 10 * kMiB, 3000},
                                      {"a", "a-1", 10 * kMiB, 1000},
                                      {"a", "a-2", 10 * kMiB, 2000}};
    const std::vector<KeptDump> b2a1 = {{"b", "b-1", 40 * kMiB, 1000},
                                        {"a", "a-1", 40 * kMiB, 2000},
                                        {"b", "b-2", 40 * kMiB, 3000}};
    const std::vector<KeptDump> b2c3 = {{"b", "b-1", kMiB, 1000},
                                        {"b", "b-2", kMiB, 2000},
                                        {"c", "c-1", kMiB, 500},
                                        {"c", "c-2", kMiB, 600},
                                        {"c", "c-3", kMiB, 700}};
    const std::vector<KeptDump> sameTime = {
        {"a", "a-b", kMiB, 1000}, {"a", "a-c", kMiB, 1000}, {"a", "a-a", kMiB, 1000}};
    // clang-format off
    const Case cases[] = {
        {"the upcoming dump counts towards keep", a3, 10 * kMiB, {3, 100 * kMiB}, true, {"a-1"}},
        {"other applications' dumps count towards theirs", b2a1, kMiB, {2, 1000 * kMiB}, true, {}},
        {"each trimmed to its share, nothing upcoming", b2c3, -1, {2, 100 * kMiB}, false, {"c-1"}},
        {"upcoming bytes count; oldest first", b2a1, 30 * kMiB, {10, 128 * kMiB}, true, {"b-1"}},
        {"the budget exactly filled", a3, 2 * kMiB, {10, 32 * kMiB}, true, {}},
        {"one byte over the budget", a3, 2 * kMiB + 1, {10, 32 * kMiB}, true, {"a-1"}},
        {"keep and budget together", a3, 25 * kMiB, {3, 40 * kMiB}, true, {"a-1", "a-2"}},
        {"above the budget: not written", a3, 101 * kMiB, {10, 100 * kMiB}, false, {}},
        {"keep 0: none written", a3, kMiB, {0, 100 * kMiB}, false, {"a-1", "a-2", "a-3"}},
        {"the same time: by file name", sameTime, kMiB, {2, 100 * kMiB}, true, {"a-a", "a-b"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        const UpcomingDump upcoming{"a", static_cast<uint64_t>(c.upcomingBytes)};
        const DumpRetentionPlan plan =
            PlanDumpRetention(c.kept, c.upcomingBytes >= 0 ? &upcoming : nullptr, c.settings);
        EXPECT_EQ(plan.writeUpcoming, c.write) << c.name;
        EXPECT_EQ(plan.remove, c.remove) << c.name;
    }
}

}  // namespace
