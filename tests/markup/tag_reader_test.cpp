#include "markup/tag_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "markup/compare_text.h"

namespace {

TEST(CompareText, ExactAndCaseInsensitive) {
    EXPECT_EQ(CompareText("abc", "abc", 3, false), 0);
    EXPECT_LT(CompareText("abc", "abd", 3, false), 0);
    EXPECT_EQ(CompareText("abc", "abd", 2, false), 0);
    EXPECT_EQ(CompareText("ABC", "abc", 3, true), 0);
    EXPECT_NE(CompareText("ABC", "abc", 3, false), 0);
    EXPECT_EQ(CompareText("a[", "A[", 2, true), 0);
    // Bytes are signed: 0x80 sorts below "a".
    EXPECT_LT(CompareText("\x80", "a", 1, false), 0);
    // After an equal byte of 0x80 or more, case is no longer forgiven.
    EXPECT_NE(CompareText("\x81"
                          "A",
                          "\x81"
                          "a",
                          2, true),
              0);
    EXPECT_EQ(CompareText("A\x81", "a\x81", 2, true), 0);
    // Stops at the first difference: a shorter given name is read to its end only.
    EXPECT_NE(CompareText("abc", "ab", 3, false), 0);
}

TEST(MatchName, WholeNameOrADelimiterAfterIt) {
    const char text[] = "<app x>";
    EXPECT_TRUE(MatchName(text, 1, 3, "app", 0));
    EXPECT_TRUE(MatchName(text, 1, 3, "app[1]", 0));
    EXPECT_TRUE(MatchName(text, 1, 3, "app/x", 0));
    EXPECT_TRUE(MatchName(text, 1, 3, "app x", 0));
    EXPECT_FALSE(MatchName(text, 1, 3, "apps", 0));
    EXPECT_FALSE(MatchName(text, 1, 3, "ap", 0));
    EXPECT_FALSE(MatchName(text, 1, 3, "APP", 0));
    EXPECT_TRUE(MatchName(text, 1, 3, "APP", 0x08));
    EXPECT_FALSE(MatchName(text, 1, 3, nullptr, 0));
}

TEST(ReadWord, StopsAtDelimiters) {
    struct Case {
        const char* text;
        const char* word;
    } cases[] = {{"<app x='1'>", "app"},
                 {"< \tapp/>", "app"},
                 {"<a;b>", "a"},
                 {"<=x>", "="},
                 {"<\xC3\xA9t\xC3\xA9>", "\xC3\xA9t\xC3\xA9"},
                 {"<", ""}};
    for (const Case& c : cases) {
        int32_t start = 0;
        const int32_t end = static_cast<int32_t>(std::strlen(c.text));
        const int32_t n = ReadWord(c.text, 1, end, &start);
        EXPECT_EQ(std::string(c.text + start, static_cast<size_t>(n)), c.word) << c.text;
    }
}

// Every attribute of a tag as "name=value", the value as written (its
// quotes included; "name" alone without a value), "|" between them, then
// "@" and where the reader stopped.
std::string Listed(const std::string& tag, int32_t capacity = 16) {
    AttributeSpan spans[16];
    AttributeEnd end;
    const int32_t n =
        ListAttributes(tag.c_str(), 0, static_cast<int32_t>(tag.size()), spans, capacity, &end);
    std::string out;
    for (int32_t i = 0; i < n; ++i) {
        out += (i ? "|" : "") + tag.substr(spans[i].nameStart, spans[i].nameLength);
        if (spans[i].valueLength >= 0) {
            out += "=" + tag.substr(spans[i].StretchStart(), spans[i].StretchLength());
        }
    }
    if (!end.complete) {
        return out + " and more";
    }
    out += "@" + std::to_string(end.stopPos) + (end.danglingEquals ? " dangling" : "");
    return out;
}

TEST(ListAttributes, ReadsTheRulesOfTheAttributeReader) {
    const struct {
        const char* tag;
        const char* listed;
    } cases[] = {
        {"<a>", "@2"},
        {"<a x='1' y=2 z />", "x='1'|y=2|z@14"},
        // Whitespace around "="; a ">" inside quotes is part of the value.
        {"<a x = \"v>w\" >", "x=\"v>w\"@12"},
        // A quoted token after a name without "=" is its value.
        {"<a b \"x\">", "b=\"x\"@8"},
        // Unquoted values run to whitespace or ">", so a "/" is theirs.
        {"<a x=1/>", "x=1/@7"},
        {"<a x==y>", "x==y@7"},
        // "/", "?" and ">" end the attributes; later ones are not read.
        {"<a b/c='1'>", "b@4"},
        // "name=" at the end of the tag has an empty value; the tag ends dangling.
        {"<a y=>", "y=@5 dangling"},
        {"<a y= >", "y=@5 dangling"},
        // Quotes open values only where a value may begin.
        {"<a x='1 y='2'>", "x='1 y='|2'@13"},
        // A quote left open runs to the end of the tag, and has no closing quote.
        {"<a x='1>", "x='1@7"},
        // A name written twice is listed twice; readers take the first.
        {"<a x='1' x='2'>", "x='1'|x='2'@14"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Listed(c.tag), c.listed) << c.tag;
    }
    EXPECT_EQ(Listed("<e a=\"1\" b=\"2\" c=\"3\">", 2), "a=\"1\"|b=\"2\" and more");
}

TEST(ListAttributes, FindAttributeTakesTheFirstMatchAndTellsWhereToInsert) {
    const std::string tag = "<a x='1' y=2 z X='3' />";
    const int32_t end = static_cast<int32_t>(tag.size());
    AttributeSpan found;
    AttributeEnd stopped;
    ASSERT_TRUE(FindAttribute(tag.c_str(), 0, end, "x", 0, &found, &stopped));
    EXPECT_EQ(tag.substr(found.StretchStart(), found.StretchLength()), "'1'");
    ASSERT_TRUE(FindAttribute(tag.c_str(), 0, end, "X", 0, &found, &stopped));
    EXPECT_EQ(tag.substr(found.valueStart, found.valueLength), "3");
    ASSERT_TRUE(FindAttribute(tag.c_str(), 0, end, "X", 0x08, &found, &stopped));
    EXPECT_EQ(tag.substr(found.valueStart, found.valueLength), "1");
    ASSERT_TRUE(FindAttribute(tag.c_str(), 0, end, "y", 0, &found, &stopped));
    EXPECT_EQ(tag.substr(found.StretchStart(), found.StretchLength()), "2");
    ASSERT_TRUE(FindAttribute(tag.c_str(), 0, end, "z", 0, &found, &stopped));
    EXPECT_EQ(found.valueLength, -1);
    EXPECT_FALSE(FindAttribute(tag.c_str(), 0, end, "w", 0, &found, &stopped));
    EXPECT_EQ(stopped.stopPos, 20);  // after X='3', before " />"
    // A processing instruction is read from its "?".
    const std::string pi = "<?xml version=\"1.0\" encoding='GB2312'?>";
    ASSERT_TRUE(FindAttribute(pi.c_str(), 1, static_cast<int32_t>(pi.size()), "encoding", 0x08,
                              &found, &stopped));
    EXPECT_EQ(pi.substr(found.valueStart, found.valueLength), "GB2312");
    // The tag is the first 6 bytes; the attribute after it is never found.
    const std::string text = "<a y=><b x='1'/>";
    EXPECT_FALSE(FindAttribute(text.c_str(), 0, 6, "x", 0, &found, &stopped));
    EXPECT_TRUE(stopped.danglingEquals);
}

}  // namespace
