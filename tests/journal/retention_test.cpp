// Which daily files a journal removes: the rule by the days, and what no
// clock jump may make it do.
#include "journal/retention.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using journal::DaysToRemove;

std::vector<int64_t> Range(int64_t first, int64_t last) {
    std::vector<int64_t> days;
    for (int64_t day = first; day <= last; ++day) {
        days.push_back(day);
    }
    return days;
}

TEST(JournalRetention, OnlyWhatIsOlderThanTheDaysAndNotAmongTheNewest) {
    const int64_t today = 20000;
    struct Case {
        const char* what;
        std::vector<int64_t> files;
        int64_t clockDay;
        int days;
        std::vector<int64_t> removed;
    };
    std::vector<int64_t> withJump = Range(today - 8, today);
    withJump.push_back(today + 400);
    const Case cases[] = {
        {"a day beyond the days goes", Range(today - 3, today), today, 3, {today - 3}},
        {"no more files than the days", {today - 900, today}, today, 2, {}},
        // Before the first line of a new day: yesterday's days are kept.
        {"a day not yet written", Range(today - 3, today - 1), today, 3, {}},
        {"a clock a year ahead keeps nine days", Range(today - 8, today), today + 400, 30, {}},
        {"and counts back from the newest file", Range(today - 8, today), today + 400, 3,
         Range(today - 8, today - 3)},
        {"a clock set back keeps what is newer", Range(today - 8, today), today - 400, 3, {}},
        {"after a jump, the newest days stay", withJump, today, 3, Range(today - 8, today - 3)},
        {"days of 1 keep the newest", {today - 5, today + 400}, today, 1, {today - 5}},
        {"a file named twice counts once", {today - 4, today - 4, today}, today, 1, {today - 4}},
        {"no days to keep: nothing goes", Range(today - 3, today), today, 0, {}},
    };
    for (const Case& c : cases) {
        std::vector<int64_t> removed = DaysToRemove(c.files, c.clockDay, c.days);
        std::sort(removed.begin(), removed.end());
        EXPECT_EQ(removed, c.removed) << c.what;
    }
}

}  // namespace
