// The journal's calendar, times and file names: dates across eras and leap
// days, RFC 3339 written and read in local time with its offset, and the
// daily files named by the local day.
#include <gtest/gtest.h>

#include "journal/civil_date.h"
#include "journal/file_name.h"
#include "journal/time_format.h"

namespace journal {
namespace {

TEST(CivilDate, DaysAndDatesBothWays) {
    EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(DaysFromCivil(1969, 12, 31), -1);
    for (const int64_t day : {int64_t{-719468}, int64_t{-1}, int64_t{0}, int64_t{11016},
                              DaysFromCivil(1600, 2, 29), DaysFromCivil(2026, 12, 9)}) {
        const CivilDate date = CivilFromDays(day);
        EXPECT_TRUE(ValidDate(date.year, date.month, date.day)) << day;
        EXPECT_EQ(DaysFromCivil(date.year, date.month, date.day), day);
    }
    const CivilDate leap = CivilFromDays(DaysFromCivil(1600, 2, 29));
    EXPECT_EQ(leap.year * 10000 + leap.month * 100 + leap.day, 16000229);
    EXPECT_EQ(DateText(DaysFromCivil(2028, 2, 29)), "2028-02-29");
    int64_t day = 0;
    ASSERT_TRUE(ParseDate("2028-02-29", &day));
    EXPECT_EQ(day, DaysFromCivil(2028, 2, 29));
    for (const char* bad : {"2026-02-29", "2100-02-29", "2026-04-31", "2026-13-01", "2026-12-9",
                            "2026/12/09", "2026-12-09 "}) {
        EXPECT_FALSE(ParseDate(bad, &day)) << bad;
    }
}

TEST(Rfc3339, WrittenAndReadInLocalTime) {
    EXPECT_EQ(FormatRfc3339(Time{0, 0}), "1970-01-01T00:00:00.000+00:00");
    EXPECT_EQ(FormatRfc3339(Time{-1, -150}), "1969-12-31T21:29:59.999-02:30");
    const Time written{1796786055123, 60};
    Time read;
    ASSERT_TRUE(ParseRfc3339(FormatRfc3339(written), &read));
    EXPECT_EQ(read.ms, written.ms);
    EXPECT_EQ(read.offsetMinutes, written.offsetMinutes);

    ASSERT_TRUE(ParseRfc3339("1969-12-31T23:59:59.5-00:30", &read));
    EXPECT_EQ(read.ms, 1799500);
    EXPECT_EQ(read.offsetMinutes, -30);
    ASSERT_TRUE(ParseRfc3339("2024-02-29t12:00:00.123456z", &read));
    EXPECT_EQ(read.ms % 1000, 123);
    for (const char* bad :
         {"2026-12-09T03:14:15", "2026-12-09T03:14:15.+01:00", "2026-12-09T25:00:00Z",
          "2025-02-29T00:00:00Z", "2026-12-09T03:14:15+0100", "2026-12-09T03:14:15Z ",
          "2026-12-09X03:14:15Z"}) {
        EXPECT_FALSE(ParseRfc3339(bad, &read)) << bad;
    }

    std::tm local{};
    local.tm_year = 126;
    local.tm_mon = 11;
    local.tm_mday = 9;
    local.tm_hour = 4;
    EXPECT_EQ(UtcOffsetMinutes(1796785200, local), 60);  // 03:00 UTC seen as 04:00
}

TEST(JournalFileName, TheLocalDayNamesTheFile) {
    // Local midnight decides the file, not UTC's.
    const Time lateUtc{1796774400000 - 1, 60};  // 2026-12-08 23:59:59.999 UTC
    EXPECT_EQ(FileNameOfDay(LocalDay(lateUtc)), "zelk-events-2026-12-09.jsonl");
    int64_t day = 0;
    ASSERT_TRUE(DayOfFileName("zelk-events-2026-12-09.jsonl", &day));
    EXPECT_EQ(day, LocalDay(lateUtc));
    ASSERT_TRUE(DayOfFileName("zelk-events-2028-02-29.jsonl", &day));
    for (const char* name : {"zelk-events-2026-13-09.jsonl", "zelk-events-2026-02-29.jsonl",
                             "zelk-events-2026-04-31.jsonl", "zelk-events-2026-12-9.jsonl",
                             "zelk-events-2026-12-09.json", "other-2026-12-09.jsonl"}) {
        EXPECT_FALSE(DayOfFileName(name, &day)) << name;
    }
}

}  // namespace
}  // namespace journal
