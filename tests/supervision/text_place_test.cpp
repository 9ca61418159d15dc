#include "supervision/text_place.h"

#include <gtest/gtest.h>

#include <string>

#include "../support/fake_system_facts.h"

namespace {

TEST(TextPlace, CountsLinesAtEachKindOfBreak) {
    const std::string text = "ab\ncd\r\nef\rgh";
    struct Case {
        int32_t offset;
        int line;
        int column;
    };
    const Case cases[] = {{-1, 1, 1}, {0, 1, 1},  {2, 1, 3},  {3, 2, 1}, {5, 2, 3},
                          {7, 3, 1},  {10, 4, 1}, {12, 4, 3}, {99, 4, 3}};
    PlaceCounter counter(text, testing_support::PosixFacts());
    for (const Case& c : cases) {
        const TextPlace place = PlaceInText(text, c.offset, testing_support::PosixFacts());
        EXPECT_EQ(place.line, c.line) << c.offset;
        EXPECT_EQ(place.column, c.column) << c.offset;
        // One counter asked in the order of the text says the same.
        EXPECT_EQ(counter.Said(c.offset),
                  "line " + std::to_string(c.line) + ", column " + std::to_string(c.column));
    }
    // Between the CR and the LF of a line break: the next line has begun;
    // and a counter asked for an earlier place counts again from the start.
    EXPECT_EQ(counter.Said(6), "line 3, column 1");
    EXPECT_EQ(counter.Said(1), "line 1, column 2");
}

TEST(TextPlace, ACharacterOfTheCodePageIsOneColumn) {
    // "中文<x/>" in UTF-8, then in code page 936; and in code page 1252,
    // where every byte is a character.
    const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87<x/>";
    EXPECT_EQ(PlaceInText(utf8, 6, testing_support::PosixFacts()).column, 3);
    const std::string gbk = "\xD6\xD0\xCE\xC4<x/>";
    EXPECT_EQ(PlaceInText(gbk, 4, testing_support::WindowsFacts(936)).column, 3);
    EXPECT_EQ(PlaceInText(gbk, 4, testing_support::WindowsFacts(1252)).column, 5);
}

}  // namespace
