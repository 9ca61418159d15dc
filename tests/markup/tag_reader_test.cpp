#include "markup/tag_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
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

TEST(ReadAttribute, InsertionPointAndStretches) {
    const std::string tag = "<a x='1' y=2 z />";
    const int32_t end = static_cast<int32_t>(tag.size());
    AttributeMatch x = ReadAttribute(tag.c_str(), 0, end, "x", 0);
    ASSERT_TRUE(x.found);
    EXPECT_TRUE(x.quoted);
    EXPECT_EQ(tag.substr(x.stretchStart, x.stretchLength), "'1'");
    AttributeMatch y = ReadAttribute(tag.c_str(), 0, end, "y", 0);
    ASSERT_TRUE(y.found);
    EXPECT_EQ(tag.substr(y.valueStart, y.valueLength), "2");
    AttributeMatch z = ReadAttribute(tag.c_str(), 0, end, "z", 0);
    ASSERT_TRUE(z.found);
    EXPECT_FALSE(z.hasValue);
    AttributeMatch w = ReadAttribute(tag.c_str(), 0, end, "w", 0);
    EXPECT_FALSE(w.found);
    EXPECT_EQ(w.stopPos, 14);  // after "z", before " />"
}

TEST(ReadAttribute, NeverReadsPastTheTag) {
    // The tag is the first 6 bytes; the attribute after it must not be found.
    const std::string text = "<a y=><b x='1'/>";
    EXPECT_FALSE(ReadAttribute(text.c_str(), 0, 6, "x", 0).found);
    // A processing instruction is read from its "?".
    const std::string pi = "<?xml version=\"1.0\" encoding='GB2312'?>";
    const AttributeMatch enc =
        ReadAttribute(pi.c_str(), 1, static_cast<int32_t>(pi.size()), "encoding", 0x08);
    ASSERT_TRUE(enc.found);
    EXPECT_EQ(pi.substr(enc.valueStart, enc.valueLength), "GB2312");
}

TEST(CheckPathSyntax, Classification) {
    EXPECT_EQ(CheckPathSyntax(nullptr), PathKind::Any);
    EXPECT_EQ(CheckPathSyntax(""), PathKind::Any);
    EXPECT_EQ(CheckPathSyntax("/a"), PathKind::Absolute);
    EXPECT_EQ(CheckPathSyntax("//a"), PathKind::Absolute);
    for (const char* ok :
         {"a", "a/b", "a[1]", "a[10]/b", "a[@x]", "a[@x='1]']", "a[@x=1]", "a[b]/c/@d", "a/@d"}) {
        EXPECT_EQ(CheckPathSyntax(ok), PathKind::Relative) << ok;
    }
    for (const char* bad : {"a b", "a/", "a[", "a[]", "a[1", "a=b", "a]", "[1]", "a/@", "a/@b/c",
                            "a[@]", "a[@x='1]", "a//b", "a[1]x"}) {
        EXPECT_EQ(CheckPathSyntax(bad), PathKind::Invalid) << bad;
    }
}

// The attribute lister must give, for every name in a tag, exactly what the
// one-name reader finds: same name, same value, same "no value". Tags are
// built from pieces that cover quoting, missing values, repeated names,
// stray delimiters and truncation.
TEST(ListAttributes, AgreesWithReadAttributeForEveryNameOfGeneratedTags) {
    const std::vector<std::string> pieces = {
        " a=\"1\"", " b='2'", " a='dup'",  " c",     " d=", " e=x",       " f = \"s p\"",
        "\tg=\"\"", " h=\"u", " =",        " \"q\"", "/",   " i=\"a>b\"", " j='\"'",
        "==",       " k=l=m", " A=\"up\"", " ?",     "\n"};
    std::mt19937 rng(4711);
    std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> count(0, 12);
    int compared = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string tag = "<el";
        for (int n = count(rng); n > 0; --n) {
            tag += pieces[pick(rng)];
        }
        if (round % 3 != 0) {
            tag += round % 2 ? "/>" : ">";
        }
        const int32_t end = static_cast<int32_t>(tag.size());
        AttributeSpan spans[8];
        bool complete = false;
        const int32_t n = ListAttributes(tag.c_str(), 0, end, spans, 8, &complete);
        for (const char* name : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "A", "z"}) {
            for (uint32_t flags : {0u, 0x08u}) {
                const AttributeMatch m = ReadAttribute(tag.c_str(), 0, end, name, flags);
                int32_t i = 0;
                while (i < n &&
                       !MatchName(tag.c_str(), spans[i].nameStart,
                                  spans[i].nameStart + spans[i].nameLength - 1, name, flags)) {
                    ++i;
                }
                if (i == n && !complete) {
                    continue;  // beyond the listed ones: the reader is asked instead
                }
                ASSERT_EQ(m.found, i < n) << tag << " / " << name;
                if (m.found) {
                    ++compared;
                    EXPECT_EQ(m.nameStart, spans[i].nameStart) << tag;
                    EXPECT_EQ(m.nameLength, spans[i].nameLength) << tag;
                    EXPECT_EQ(m.hasValue ? m.valueLength : -1, spans[i].valueLength) << tag;
                    if (m.hasValue) {
                        EXPECT_EQ(m.valueStart, spans[i].valueStart) << tag;
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 10000);
}

TEST(ListAttributes, StopsAtItsCapacityAndSaysSo) {
    const std::string tag = "<e a=\"1\" b=\"2\" c=\"3\">";
    AttributeSpan spans[2];
    bool complete = true;
    EXPECT_EQ(ListAttributes(tag.c_str(), 0, static_cast<int32_t>(tag.size()), spans, 2, &complete),
              2);
    EXPECT_FALSE(complete);
    AttributeSpan all[3];
    EXPECT_EQ(ListAttributes(tag.c_str(), 0, static_cast<int32_t>(tag.size()), all, 3, &complete),
              3);
    EXPECT_TRUE(complete);
}

}  // namespace
