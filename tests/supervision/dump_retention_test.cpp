#include <gtest/gtest.h>

#include "supervision/dump_retention.h"

namespace {

constexpr uint64_t kMiB = 1024 * 1024;

struct Case {
    const char* name;
    std::vector<KeptDump> kept;
    bool upcoming;  // a dump of "a" of `upcomingBytes` is about to be written
    uint64_t upcomingBytes;
    DumpRetentionSettings settings;
    bool write;
    std::vector<std::string> remove;
};

TEST(DumpRetention, RemovesTheOldestBeyondTheShareAndTheBudget) {
    const std::vector<KeptDump> threeOfA = {
        {"a", "a-3.dmp", 10 * kMiB, 3000},
        {"a", "a-1.dmp", 10 * kMiB, 1000},
        {"a", "a-2.dmp", 10 * kMiB, 2000},
    };
    const Case cases[] = {
        {"within both limits", threeOfA, true, 10 * kMiB, {4, 100 * kMiB}, true, {}},
        {"the upcoming dump counts towards keep",
         threeOfA,
         true,
         10 * kMiB,
         {3, 100 * kMiB},
         true,
         {"a-1.dmp"}},
        {"keep lowered below what is kept",
         threeOfA,
         true,
         10 * kMiB,
         {1, 100 * kMiB},
         true,
         {"a-1.dmp", "a-2.dmp", "a-3.dmp"}},
        {"other applications' dumps do not count towards keep",
         {{"b", "b-1.dmp", kMiB, 1000}, {"b", "b-2.dmp", kMiB, 2000}, {"a", "a-1.dmp", kMiB, 500}},
         true,
         kMiB,
         {2, 100 * kMiB},
         true,
         {}},
        {"each application trimmed to its share without an upcoming dump",
         {{"b", "b-1.dmp", kMiB, 1000},
          {"b", "b-2.dmp", kMiB, 2000},
          {"c", "c-1.dmp", kMiB, 500},
          {"c", "c-2.dmp", kMiB, 600},
          {"c", "c-3.dmp", kMiB, 700}},
         false,
         0,
         {2, 100 * kMiB},
         false,
         {"c-1.dmp"}},
        {"the upcoming bytes count towards the budget: oldest of any application first",
         {{"b", "b-1.dmp", 40 * kMiB, 1000},
          {"a", "a-1.dmp", 40 * kMiB, 2000},
          {"b", "b-2.dmp", 40 * kMiB, 3000}},
         true,
         30 * kMiB,
         {10, 128 * kMiB},
         true,
         {"b-1.dmp"}},
        {"the budget exactly filled", threeOfA, true, 2 * kMiB, {10, 32 * kMiB}, true, {}},
        {"one byte over the budget",
         threeOfA,
         true,
         2 * kMiB + 1,
         {10, 32 * kMiB},
         true,
         {"a-1.dmp"}},
        {"keep and budget together",
         threeOfA,
         true,
         25 * kMiB,
         {3, 40 * kMiB},
         true,
         {"a-1.dmp", "a-2.dmp"}},
        {"an upcoming dump larger than the whole budget is not written, nothing goes for it",
         threeOfA,
         true,
         101 * kMiB,
         {10, 100 * kMiB},
         false,
         {}},
        {"keep 0 writes nothing",
         threeOfA,
         true,
         kMiB,
         {0, 100 * kMiB},
         false,
         {"a-1.dmp", "a-2.dmp", "a-3.dmp"}},
        {"dumps of the same time go by file name",
         {{"a", "a-b.dmp", 10 * kMiB, 1000},
          {"a", "a-c.dmp", 10 * kMiB, 1000},
          {"a", "a-a.dmp", 10 * kMiB, 1000}},
         true,
         10 * kMiB,
         {2, 100 * kMiB},
         true,
         {"a-a.dmp", "a-b.dmp"}},
        {"nothing kept", {}, true, 10 * kMiB, {1, 10 * kMiB}, true, {}},
    };
    for (const Case& c : cases) {
        const UpcomingDump upcoming{"a", c.upcomingBytes};
        const DumpRetentionPlan plan =
            PlanDumpRetention(c.kept, c.upcoming ? &upcoming : nullptr, c.settings);
        EXPECT_EQ(plan.writeUpcoming, c.write) << c.name;
        EXPECT_EQ(plan.remove, c.remove) << c.name;
    }
}

}  // namespace
