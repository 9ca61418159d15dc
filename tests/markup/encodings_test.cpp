// UTF-8 and UTF-16 coding, the conversion decision and EncodingConverter.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "markup/encoding_table.h"
#include "markup/encodings.h"
#include "platform/ansi.h"
#include "platform/codepage.h"

namespace {

TEST(TestUtf8, AcceptsValidTextAndTellsWhereItFailed) {
    const struct {
        const char* bytes;
        int length;
        bool valid;
        int multiByte;
        bool failedAtEnd;
    } cases[] = {
        {"\xC3\xA9", 2, true, 1, false},
        {"\xC3", 1, false, 1, true},
        {"\xC3\x41", 2, false, 1, false},
        {"plain <a/>", 10, true, 0, false},
        {"\xE4\xB8\xAD-\xF0\x9F\x98\x80", 8, true, 2, false},
        {"\xE9t\xE9", 3, false, 1, false},  // windows-1252 text
        {"a\0\xC3", 3, true, 0, false},     // stops at the zero byte
        {"\xE2\x82", 2, false, 1, true},    // cut by the end
        {"\x80\xBF", 2, true, 1, false},    // 0x80 read as a 2-byte lead byte
        {"", 0, true, 0, false},
    };
    for (const auto& c : cases) {
        int count = -1;
        bool atEnd = !c.failedAtEnd;
        EXPECT_EQ(TestUtf8(c.bytes, c.length, &count, &atEnd), c.valid) << c.bytes;
        EXPECT_EQ(count, c.multiByte) << c.bytes;
        EXPECT_EQ(atEnd, c.failedAtEnd) << c.bytes;
    }
}

TEST(DecodeUtf8, DecodesOneCodePointAndConsumesWhatItUsed) {
    const struct {
        const char* bytes;
        int length;
        int codePoint;
        int consumed;
    } cases[] = {
        {"A", 1, 0x41, 1},
        {"\xC3\xA9", 2, 0xE9, 2},
        {"\xE2\x82\xAC", 3, 0x20AC, 3},
        {"\xF0\x9F\x98\x80", 4, 0x1F600, 4},
        {"\x80\xBF", 2, 0x3F, 2},
        {"\x80\x41", 2, -1, 1},
        {"\xE2\x82", 2, -1, 2},
        {"\xF8\x80", 2, -1, 1},
    };
    for (const auto& c : cases) {
        const char* cursor = c.bytes;
        EXPECT_EQ(DecodeUtf8(&cursor, c.bytes + c.length), c.codePoint) << c.bytes;
        EXPECT_EQ(cursor - c.bytes, c.consumed) << c.bytes;
    }
}

TEST(DecodeUtf16, DecodesPairsAndRejectsLoneSurrogates) {
    const struct {
        std::vector<uint16_t> units;
        int codePoint;
        int consumed;
    } cases[] = {
        {{0x0041}, 0x41, 1},
        {{0xD83D, 0xDE00}, 0x1F600, 2},
        {{0xD83D}, -1, 1},
        {{0xD83D, 0x0000}, -1, 1},
        {{0xD83D, 0x0041}, -1, 1},  // the following character is not
                                    // swallowed
        {{0xDE00, 0xD83D}, -1, 1},
    };
    for (const auto& c : cases) {
        const uint16_t* cursor = c.units.data();
        EXPECT_EQ(DecodeUtf16(&cursor, c.units.data() + c.units.size()), c.codePoint);
        EXPECT_EQ(cursor - c.units.data(), c.consumed);
    }
}

TEST(EncodeUtf, AppendsAtLengthOrOnlyCounts) {
    const struct {
        uint32_t codePoint;
        std::string utf8;
        std::vector<uint16_t> utf16;
    } cases[] = {
        {0x41, "A", {0x41}},
        {0xE9, "\xC3\xA9", {0xE9}},
        {0x20AC, "\xE2\x82\xAC", {0x20AC}},
        {0xFFFF, "\xEF\xBF\xBF", {0xFFFF}},
        {0x1F600, "\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
    };
    for (const auto& c : cases) {
        char bytes[8] = {'x'};
        int length = 1;
        EncodeUtf8(c.codePoint, bytes, &length);
        EXPECT_EQ(std::string(bytes + 1, length - 1), c.utf8);
        int counted = 1;
        EncodeUtf8(c.codePoint, nullptr, &counted);
        EXPECT_EQ(counted, length);

        uint16_t units[4] = {0};
        int unitCount = 0;
        EncodeUtf16(c.codePoint, units, &unitCount);
        EXPECT_EQ(std::vector<uint16_t>(units, units + unitCount), c.utf16);
        int countedUnits = 3;
        EncodeUtf16(c.codePoint, nullptr, &countedUnits);
        EXPECT_EQ(countedUnits, 3 + unitCount);
    }
}

TEST(SkipsLossCheck, NamesTheCodePagesThatRefuseTheQuestion) {
    const std::set<int> skipping = {50220, 50221, 50222, 50225, 50227, 50229, 52936,
                                    54936, 57002, 57003, 57004, 57005, 57006, 57007,
                                    57008, 57009, 57010, 57011, 65000, 65001};
    for (int codePage : {0, 437, 936, 1200, 1252, 50219, 50226, 57001, 57012, 65002, 65005}) {
        EXPECT_FALSE(SkipsLossCheck(codePage)) << codePage;
    }
    for (int codePage : skipping) {
        EXPECT_TRUE(SkipsLossCheck(codePage)) << codePage;
    }
}

TEST(NeedsConversion, ComparesCodePagesWithTheAnsiCodePageForEmptyNames) {
    const int ansi = platform::AnsiCodePage();
    EXPECT_FALSE(NeedsConversion("", ""));
    EXPECT_FALSE(NeedsConversion("", "nonesuch"));
    EXPECT_FALSE(NeedsConversion("nonesuch", "utf-8"));
    EXPECT_FALSE(NeedsConversion("utf-16", "ucs-2"));
    EXPECT_FALSE(NeedsConversion("UTF-8", "cp65001"));
    EXPECT_TRUE(NeedsConversion("utf-8", "utf-16"));
    EXPECT_TRUE(NeedsConversion("windows-1252", "latin1"));
    for (const char* name : {"UTF-8", "GB2312", "windows-1252", "cp437", "utf-16"}) {
        EXPECT_EQ(NeedsConversion("", name), LookupCodePage(name) != ansi) << name;
        EXPECT_EQ(NeedsConversion(name, ""), LookupCodePage(name) != ansi) << name;
    }
}

// Measures, then converts into a buffer of exactly the measured size.
template <typename Unit>
std::vector<Unit> Convert(EncodingConverter& job, const char* to) {
    const int32_t measured = job.ConvertText(nullptr, to);
    std::vector<Unit> out(static_cast<size_t>(measured) + 1, Unit(0x55));
    const int32_t converted = job.ConvertText(out.data(), nullptr);
    EXPECT_EQ(converted, measured);
    EXPECT_EQ(out[static_cast<size_t>(measured)], Unit(0x55)) << "wrote past the measured length";
    out.resize(static_cast<size_t>(converted));
    return out;
}

std::string Bytes(const std::vector<char>& v) {
    return std::string(v.begin(), v.end());
}

TEST(EncodingConverter, StartsEmptyAndKeepsTheSource) {
    const char text[] = "abc";
    EncodingConverter job("windows-1252", text, 3);
    EXPECT_EQ(job.toEncoding, "");
    EXPECT_EQ(job.fromEncoding, "windows-1252");
    EXPECT_EQ(job.fromBuffer, text);
    EXPECT_EQ(job.fromLength, 3);
    EXPECT_EQ(job.toLength, 0);
    EXPECT_EQ(job.failedCount, 0);
}

TEST(EncodingConverter, ConvertsBetweenEightBitCodePagesAndUtf16) {
    const std::string utf8 = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";
    EncodingConverter toWide("UTF-8", utf8.data(), int32_t(utf8.size()));
    const std::vector<uint16_t> wide = Convert<uint16_t>(toWide, "utf-16");
    const std::vector<uint16_t> expected = {'c', 'a', 'f', 0xE9, ' ', 0x20AC, ' ', 0xD83D, 0xDE00};
    EXPECT_EQ(wide, expected);
    EXPECT_EQ(toWide.toLength, 9);

    EncodingConverter back("utf-16", wide.data(), int32_t(wide.size()));
    EXPECT_EQ(Bytes(Convert<char>(back, "utf-8")), utf8);
    EXPECT_EQ(back.failedCount, 0);

    // The emoji has no windows-1252 character: "?" for each of its units, and a loss.
    EncodingConverter lossy("utf-16", wide.data(), int32_t(wide.size()));
    EXPECT_EQ(Bytes(Convert<char>(lossy, "windows-1252")), "caf\xE9 \x80 ??");
    EXPECT_NE(lossy.failedCount, 0);
}

TEST(EncodingConverter, ConvertsEightBitToEightBitAndReportsLoss) {
    const std::string latin = "caf\xE9 \x80";
    EncodingConverter job("windows-1252", latin.data(), int32_t(latin.size()));
    EXPECT_EQ(Bytes(Convert<char>(job, "utf-8")), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(job.failedCount, 0);

    const std::string chinese = "\xE4\xB8\xAD|\xC3\xA9";
    EncodingConverter lossy("utf-8", chinese.data(), int32_t(chinese.size()));
    EXPECT_EQ(Bytes(Convert<char>(lossy, "iso-8859-1")), "?|\xE9");
    EXPECT_NE(lossy.failedCount, 0);
    // Each pass starts without a loss.
    EXPECT_EQ(lossy.ConvertText(nullptr, "utf-8"), 6);
    EXPECT_EQ(lossy.failedCount, 0);
}

// A buffer of exactly the measured size is enough, also when the last
// character has no form in the target and becomes "?".
TEST(EncodingConverter, AnExactBufferHoldsALostLastCharacter) {
    for (const std::string& text :
         {std::string("a\xE0\xB8\x81"), std::string("\xE0\xB8\x81"), std::string("\xC3\x28\xE2")}) {
        for (const char* target : {"EUC-JP", "Shift_JIS", "GB2312", "windows-1252"}) {
            EncodingConverter job("utf-8", text.data(), int32_t(text.size()));
            const std::string converted = Bytes(Convert<char>(job, target));
            EXPECT_FALSE(converted.empty()) << target;
            EXPECT_EQ(converted.back(), '?') << target;
        }
    }
}

TEST(EncodingConverter, AnUnknownNameStandsForTheAnsiCodePage) {
    const std::string latin = "caf\xE9";
    EncodingConverter named("windows-1252", latin.data(), 4);
    EncodingConverter unknown("windows-1252", latin.data(), 4);
    EXPECT_EQ(Convert<char>(unknown, "nonesuch"), Convert<char>(named, ""));
    EXPECT_EQ(unknown.toEncoding, "nonesuch");
}

TEST(EncodingConverter, ConvertsUtf32ByHand) {
    const std::vector<uint32_t> points = {'a', 0xE9, 0x1F600, 0x110000, 0xD800};
    EncodingConverter toUtf8("UTF-32", points.data(), int32_t(points.size()));
    EXPECT_EQ(Bytes(Convert<char>(toUtf8, "utf-8")), "a\xC3\xA9\xF0\x9F\x98\x80??");
    EncodingConverter toUtf16("UTF-32", points.data(), int32_t(points.size()));
    const std::vector<uint16_t> expected = {'a', 0xE9, 0xD83D, 0xDE00, '?', '?'};
    EXPECT_EQ(Convert<uint16_t>(toUtf16, "utf-16"), expected);

    const std::string utf8 = "a\xC3\xA9\xF0\x9F\x98\x80\x80\x41";
    EncodingConverter fromUtf8("utf-8", utf8.data(), int32_t(utf8.size()));
    const std::vector<uint32_t> decoded = {'a', 0xE9, 0x1F600, '?', 'A'};
    EXPECT_EQ(Convert<uint32_t>(fromUtf8, "UTF-32"), decoded);

    const std::vector<uint16_t> wide = {'a', 0xD83D, 0xDE00, 0xDC00, 'b'};
    EncodingConverter fromUtf16("utf-16", wide.data(), int32_t(wide.size()));
    const std::vector<uint32_t> fromWide = {'a', 0x1F600, '?', 'b'};
    EXPECT_EQ(Convert<uint32_t>(fromUtf16, "UTF-32"), fromWide);
}

TEST(EncodingConverter, PairsWithoutARouteProduceNothing) {
    const std::vector<uint32_t> points = {'a', 'b'};
    EncodingConverter fromUtf32("UTF-32", points.data(), 2);
    EXPECT_EQ(fromUtf32.ConvertText(nullptr, "windows-1252"), 0);
    const std::string latin = "ab";
    EncodingConverter toUtf32("windows-1252", latin.data(), 2);
    EXPECT_EQ(toUtf32.ConvertText(nullptr, "UTF-32"), 0);
    EncodingConverter empty("utf-8", latin.data(), 0);
    EXPECT_EQ(empty.ConvertText(nullptr, "utf-16"), 0);
    EncodingConverter negative("utf-8", latin.data(), -1);
    EXPECT_EQ(negative.ConvertText(nullptr, "utf-16"), 0);
}

TEST(EncodingConverter, ALoneSurrogateBecomesTheReplacementCharacterInUtf8) {
    const std::vector<uint16_t> wide = {'a', 0xD800, 'b'};
    EncodingConverter job("utf-16", wide.data(), 3);
    EXPECT_EQ(Bytes(Convert<char>(job, "utf-8")),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(job.failedCount, 0);
}

TEST(EncodingConverter, InvalidUtf8BecomesReplacementCharacters) {
    for (const std::string bad :
         {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\xFF", "\x80"}) {
        const std::string text = "a" + bad + "b";
        EncodingConverter job("utf-8", text.data(), int32_t(text.size()));
        const std::vector<uint16_t> wide = Convert<uint16_t>(job, "utf-16");
        ASSERT_GE(wide.size(), 3u);
        EXPECT_EQ(wide.front(), 'a');
        EXPECT_EQ(wide.back(), 'b');
        for (size_t i = 1; i + 1 < wide.size(); ++i) {
            EXPECT_EQ(wide[i], 0xFFFD) << i;
        }
    }
}

// Every code page of the table that the platform converts reads "A" as U+0041;
// the common ones are converted everywhere. The others are listed in the output.
TEST(EncodingConverter, TheCommonCodePagesOfTheTableAreAvailable) {
    std::set<int> codePages;
    for (const char* bucket : kEncodingBuckets) {
        for (const char* p = bucket; *p != '\0'; p += 7 + (p[0] - '0') * 10 + (p[1] - '0')) {
            codePages.insert(std::atoi(std::string(p + 2, 5).c_str()));
        }
    }
    const std::set<int> wideUnits = {1200, 1201, 12000, 12001};
    const std::set<int> required = {437,   850,   852,   866,   874,   932,   936,   949,
                                    950,   1250,  1251,  1252,  1253,  1254,  1255,  1256,
                                    1257,  1258,  10000, 20127, 20866, 21866, 28591, 28592,
                                    28595, 28597, 28599, 28605, 65000, 65001};
    std::string missing;
    for (int codePage : codePages) {
        if (wideUnits.count(codePage) != 0) {
            continue;
        }
        uint16_t out[4] = {0};
        const int n = platform::MultiByteToUtf16(codePage, "A", 1, out, 4);
        if (n == 0) {
            missing += " " + std::to_string(codePage);
            EXPECT_EQ(required.count(codePage), 0u) << codePage;
        } else {
            EXPECT_EQ(out[0], 'A') << codePage;
        }
    }
    std::printf("code pages this platform does not convert:%s\n", missing.c_str());
}

}  // namespace
