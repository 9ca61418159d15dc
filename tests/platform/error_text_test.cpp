// The system's error texts as log lines and zelkctl quote them: one line,
// no final full stop, and never empty.
#include "platform/error_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ErrorText, IsOneLineWithoutItsFinalFullStop) {
    // 2: no such file on every platform; Windows ends its text with ".\r\n".
    const std::string text = platform::ErrorText(2);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    EXPECT_NE(text.back(), '.') << text;
    EXPECT_NE(text.back(), ' ') << text;
    EXPECT_NE(text, "error 2") << "the system has a text for it";
}

TEST(ErrorText, ACodeTheSystemDoesNotKnowIsNamedByItsNumber) {
    // Windows (and Wine, also for some socket errors) has no text at all;
    // POSIX says "Unknown error N".
    const std::string text = platform::ErrorText(0x7FFF1234);
    EXPECT_NE(text.find("2147422772"), std::string::npos) << text;
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
}

}  // namespace
