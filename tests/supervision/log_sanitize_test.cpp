#include "supervision/log_sanitize.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SanitizeForLog, ControlCharactersBecomeVisibleEscapes) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"20261208100000", "20261208100000"},
        {"", ""},
        {"a\r\n--FATAL-- forged", "a\\x0D\\x0A--FATAL-- forged"},
        {std::string("\0\x1f\x7f", 3), "\\x00\\x1F\\x7F"},
        {"tab\there", "tab\\x09here"},
        // Double-byte characters of the ANSI code page and printable ASCII stay.
        {"\xD6\xD0\xCE\xC4 x\\y %s", "\xD6\xD0\xCE\xC4 x\\y %s"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SanitizeForLog(c.in), c.out) << c.out;
    }
}

TEST(SanitizeForLog, ResultNeverHoldsALineBreak) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    std::string out = SanitizeForLog(all);
    EXPECT_EQ(out.find('\n'), std::string::npos);
    EXPECT_EQ(out.find('\r'), std::string::npos);
    EXPECT_EQ(out.find('\0'), std::string::npos);
    EXPECT_EQ(out.size(), 256u + 33u * 3u);
}

}  // namespace
