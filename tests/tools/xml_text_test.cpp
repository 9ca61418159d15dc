#include "common/xml_text.h"

#include <gtest/gtest.h>

namespace {

TEST(EscapeXmlText, WritesTheFiveMarkupCharactersAsEntities) {
    EXPECT_EQ(tools::EscapeXmlText("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&apos;");
    EXPECT_EQ(tools::EscapeXmlText("ZK0001"), "ZK0001");
    EXPECT_EQ(tools::EscapeXmlText(""), "");
}

TEST(EscapeXmlText, LeavesEveryOtherByteAsItIs) {
    // UTF-8 whose bytes a double-byte code page would pair with the "<"
    // after them ("\xAD<"): each markup byte is escaped all the same.
    EXPECT_EQ(tools::EscapeXmlText("\xE4\xB8\xAD<\xC3\xA9&"), "\xE4\xB8\xAD&lt;\xC3\xA9&amp;");
    EXPECT_EQ(tools::EscapeXmlText(std::string("a\0b\n", 4)), std::string("a\0b\n", 4));
}

}  // namespace
