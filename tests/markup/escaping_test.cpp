#include "markup/escaping.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "markup/entity_table.h"
#include "platform/ansi.h"

namespace {

struct EscapeCase {
    const char* input;
    int options;
    const char* expected;
};

class Escape : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(Escape, Output) {
    EXPECT_EQ(EscapeValue(GetParam().input, GetParam().options), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Escape,
    ::testing::Values(EscapeCase{"<&>\"'", 0x100, "&lt;&amp;&gt;&quot;&apos;"},
                      EscapeCase{"<&>\"'", 0, "&lt;&amp;&gt;\"'"},
                      EscapeCase{"plain text", 0x100, "plain text"},
                      EscapeCase{"&amp; &#169; & x &x", 0x08, "&amp; &#169; &amp; x &amp;x"},
                      EscapeCase{"&a.b-c:d_e; &1;", 0x08, "&a.b-c:d_e; &amp;1;"},
                      EscapeCase{"&amp;", 0, "&amp;amp;"}, EscapeCase{"", 0x100, ""},
                      EscapeCase{"a&", 0x08, "a&amp;"}));

struct UnescapeCase {
    const char* input;
    uint32_t options;
    const char* expected;
};

class Unescape : public ::testing::TestWithParam<UnescapeCase> {};

TEST_P(Unescape, Output) {
    EXPECT_EQ(UnescapeValue(GetParam().input, -1, GetParam().options), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    References, Unescape,
    ::testing::Values(
        UnescapeCase{"&lt;&gt;&amp;&quot;&apos;", 0, "<>&\"'"},
        UnescapeCase{"&#65;&#x41;&#X41;", 0, "AAA"}, UnescapeCase{"&#0;", 0, "&#0;"},
        UnescapeCase{"&AMP;&Lt;", 0, "&<"}, UnescapeCase{"&unknown;", 0, "&unknown;"},
        UnescapeCase{"&abcdefghij;", 0, "&abcdefghij;"}, UnescapeCase{"a&", 0, "a&"},
        UnescapeCase{"a&am", 0, "a&am"}, UnescapeCase{"&amp", 0, "&amp"},
        UnescapeCase{"&;", 0, "&;"}, UnescapeCase{"&#65x;", 0, "A"},
        UnescapeCase{"&#x;", 0, "&#x;"}, UnescapeCase{"& lt;", 0, "& lt;"},
        // A reference is read up to 9 characters after "&".
        UnescapeCase{"&#00000065;", 0, "A"}, UnescapeCase{"&#000000065;", 0, "&#000000065;"},
        // Beyond U+10FFFF and surrogates stay as written.
        UnescapeCase{"&#x110000;", 0, "&#x110000;"},
        UnescapeCase{"&#x1F600041;", 0, "&#x1F600041;"},
        UnescapeCase{"&#99999999;", 0, "&#99999999;"}, UnescapeCase{"&#xD800;", 0, "&#xD800;"},
        UnescapeCase{"  a  b  ", 0x100, "a  b"}, UnescapeCase{"  a  b  ", 0x200, "a b"},
        UnescapeCase{" \t\r\n", 0x100, ""},
        // Collapsing makes any run one space; trimming keeps inner runs as written.
        UnescapeCase{"a\t\n b", 0x200, "a b"}, UnescapeCase{"a\t\n b", 0x100, "a\t\n b"},
        UnescapeCase{"  a \t b  ", 0, "  a \t b  "}, UnescapeCase{" &lt; ", 0x100, "<"}));

TEST(Unescape, ExplicitLengthStopsEarly) {
    EXPECT_EQ(UnescapeValue("&lt;&gt;", 4, 0), "<");
    EXPECT_EQ(UnescapeValue("&lt;", 3, 0), "&lt");
    EXPECT_EQ(UnescapeValue(nullptr, -1, 0), "");
}

TEST(Unescape, CodePointsThroughTheAnsiCodePage) {
    char expected[8];
    // U+00A0, U+4E2D, U+1F600: decoded when the ANSI code page has the
    // character, kept as written otherwise.
    const struct {
        const char* reference;
        uint32_t codePoint;
    } cases[] = {{"&nbsp;", 0xA0}, {"&#x4E2D;", 0x4E2D}, {"&#128512;", 0x1F600}};
    for (const auto& c : cases) {
        const int n = platform::EncodeAnsiCodePoint(c.codePoint, expected);
        const std::string want =
            n > 0 ? std::string(expected, static_cast<size_t>(n)) : c.reference;
        EXPECT_EQ(UnescapeValue(c.reference, -1, 0), want) << c.reference;
    }
}

TEST(Unescape, NamesThatDifferOnlyInCaseKeepTheirOwnCharacter) {
    char upper[8];
    char lower[8];
    const int nu = platform::EncodeAnsiCodePoint(201, upper);  // Eacute
    const int nl = platform::EncodeAnsiCodePoint(233, lower);  // eacute
    if (nu > 0) {
        EXPECT_EQ(UnescapeValue("&Eacute;", -1, 0), std::string(upper, static_cast<size_t>(nu)));
    }
    if (nl > 0) {
        EXPECT_EQ(UnescapeValue("&eacute;", -1, 0), std::string(lower, static_cast<size_t>(nl)));
    }
    char dagger[8];
    const int nd = platform::EncodeAnsiCodePoint(8224, dagger);
    if (nd > 0) {
        EXPECT_EQ(UnescapeValue("&dagger;", -1, 0), std::string(dagger, static_cast<size_t>(nd)));
    }
}

TEST(Unescape, EscapeRoundTrip) {
    const std::string value = "a<b & c>d \"q\" 'p' &amp;";
    EXPECT_EQ(UnescapeValue(EscapeValue(value, 0x100).c_str(), -1, 0), value);
}

TEST(EscapeCData, SplitsTheTerminator) {
    EXPECT_EQ(EscapeCData("x]]>y"), "<![CDATA[x]]]]><![CDATA[>y]]>");
    EXPECT_EQ(EscapeCData(""), "<![CDATA[]]>");
}

TEST(EntityTable, BucketLayout) {
    int rows = 0;
    int empty = 0;
    int longest = 0;
    for (int b = 0; b < kEntityBucketCount; ++b) {
        const char* row = kEntityBuckets[b];
        if (*row == '\0') {
            ++empty;
        }
        while (*row != '\0') {
            const int length = row[0] - '0';
            ASSERT_GE(length, 2);
            ASSERT_LE(std::strlen(row + 5), std::strlen(row + 5));
            EXPECT_EQ(EntityBucket(row + 5, length), b);
            for (int i = 1; i <= 4; ++i) {
                EXPECT_TRUE(row[i] >= '0' && row[i] <= '9');
            }
            longest = std::max(longest, length);
            ++rows;
            row += 5 + length;
        }
    }
    EXPECT_EQ(rows, 253);
    EXPECT_EQ(empty, 37);
    EXPECT_EQ(longest, 8);
    EXPECT_NE(std::strstr(kEntityBuckets[EntityBucket("oslash", 6)], "60216oslash60248oslash"),
              nullptr);
    EXPECT_NE(std::strstr(kEntityBuckets[EntityBucket("apos", 4)], "40039apos"), nullptr);
    EXPECT_NE(std::strstr(kEntityBuckets[EntityBucket("dagger", 6)], "68225dagger68224dagger"),
              nullptr);
}

}  // namespace

namespace {

TEST(Unescape, DependsOnTheAnsiCodePage) {
    switch (platform::AnsiCodePage()) {
        case 936:
            EXPECT_EQ(UnescapeValue("&#x4E2D;", -1, 0), "\xD6\xD0");
            // A double-byte character that the end cuts keeps its first byte;
            // nothing beyond the end is read.
            EXPECT_EQ(UnescapeValue("a\x81\x40", 2, 0), "a\x81");
            EXPECT_EQ(UnescapeValue("a \x81\x40", 3, 0x200), "a \x81");
            break;
        case 1252:
            EXPECT_EQ(UnescapeValue("&#x4E2D;", -1, 0), "&#x4E2D;");
            EXPECT_EQ(UnescapeValue("&nbsp;&euro;", -1, 0), "\xA0\x80");
            // No best-fit stand-ins: U+0100 is not "A".
            EXPECT_EQ(UnescapeValue("&#256;", -1, 0), "&#256;");
            break;
        case 65001:
            EXPECT_EQ(UnescapeValue("&#x4E2D;&lt;", -1, 0), "\xE4\xB8\xAD<");
            break;
        default:
            GTEST_SKIP() << "no expectations for code page " << platform::AnsiCodePage();
    }
}

}  // namespace
