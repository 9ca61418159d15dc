#include "log/log_line.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

namespace {

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatLogMessage(format, args);
    va_end(args);
    return text;
}

std::tm MakeDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                 int weekday = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_wday = weekday;
    return t;
}

TEST(LogLine, ComposesTheExactFormat) {
    EXPECT_EQ(
        ComposeLogLine(4, "Thu Feb 23 10:22:05 2017", 126, "CDaemon::Start", 0, "Start Server!"),
        "--TRACE-- [Thu Feb 23 10:22:05 2017]  [Line:0126]  CDaemon::Start : 0 , Start Server!\n");
}

TEST(LogLine, LevelNamesLineNumbersAndCodes) {
    struct Case {
        int level;
        int line;
        int32_t code;
        const char* expected;
    } cases[] = {
        {0, 7, 0, "--FATAL-- [T]  [Line:0007]  F : 0 , m\n"},
        {1, 12345, -1, "--WARNING-- [T]  [Line:12345]  F : -1 , m\n"},
        {2, 0, 10061, "--MONITOR-- [T]  [Line:0000]  F : 10061 , m\n"},
        {3, 99, -2147483647 - 1, "--NOTICE-- [T]  [Line:0099]  F : -2147483648 , m\n"},
        {4, 1000, 5, "--TRACE-- [T]  [Line:1000]  F : 5 , m\n"},
        {5, 1, 0, "--DEBUG-- [T]  [Line:0001]  F : 0 , m\n"},
        {6, 1, 0, "--UNKNOWN-- [T]  [Line:0001]  F : 0 , m\n"},
        {-1, 1, 0, "--UNKNOWN-- [T]  [Line:0001]  F : 0 , m\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ComposeLogLine(c.level, "T", c.line, "F", c.code, "m"), c.expected);
    }
}

TEST(LogLine, MessageIsCutAt8191Characters) {
    std::string longText(10000, 'x');
    std::string message = Format("%s", longText.c_str());
    EXPECT_EQ(message.size(), 8191u);
    std::string exact(8191, 'y');
    EXPECT_EQ(Format("%s", exact.c_str()), exact);

    // The composed line keeps the whole cut message behind its prefix.
    std::string line = ComposeLogLine(4, "T", 1, "F", 0, message);
    EXPECT_EQ(line.size(), std::string("--TRACE-- [T]  [Line:0001]  F : 0 , ").size() + 8191 + 1);
    EXPECT_EQ(line.back(), '\n');
}

TEST(LogLine, MessageFormatting) {
    EXPECT_EQ(Format("%s recv train date:%s", "app", "20261208140327"),
              "app recv train date:20261208140327");
    EXPECT_EQ(Format("count %d", -3), "count -3");
    EXPECT_EQ(Format("%s", ""), "");
}

TEST(LogLine, TimeTextIsAsctimeWithoutLineEnd) {
    EXPECT_EQ(FormatLogTime(MakeDate(2017, 2, 23, 10, 22, 5, 4)), "Thu Feb 23 10:22:05 2017");
    // The day of the month is zero-padded, as the Windows runtime does it.
    EXPECT_EQ(FormatLogTime(MakeDate(2023, 11, 5, 0, 0, 0, 0)), "Sun Nov 05 00:00:00 2023");
    EXPECT_EQ(FormatLogTime(MakeDate(2026, 12, 31, 23, 59, 59, 4)).size(), 24u);
}

TEST(LogLine, FileNameForADate) {
    EXPECT_EQ(LogFileName(MakeDate(2017, 2, 23)), "ZELK_LOG_2017_02_23.log");
    EXPECT_EQ(LogFileName(MakeDate(2026, 12, 8)), "ZELK_LOG_2026_12_08.log");
    EXPECT_EQ(LogFileName(MakeDate(2000, 1, 1)), "ZELK_LOG_2000_01_01.log");
}

}  // namespace
