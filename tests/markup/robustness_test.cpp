#include <gtest/gtest.h>

#include <random>
#include <string>

#include "markup/document_inside.h"
#include "markup/markup.h"
#include "markup/result_report.h"

namespace {

// Markup-like noise: fragments that drive the tokenizer into every state.
std::string Noise(std::mt19937& random, int pieces) {
    static const char* const kPieces[] = {
        "<",         ">",         "/",     "</a>",   "<a>",      "<a/>",
        "<b x='1'>", "</b>",      "=",     "'",      "\"",       "<!--",
        "-->",       "<![CDATA[", "]]>",   "<?",     "?>",       "<!DOCTYPE r [",
        "]>",        "<!E",       "&amp;", "&#x41;", "&",        ";",
        " ",         "\t",        "text",  "\x81",   "\xC3\xA9", "<a y=>",
        "<![C]]>",   "<!-->",     "a=b",   "<a b",   "\0"};
    std::uniform_int_distribution<size_t> pick(0, sizeof(kPieces) / sizeof(kPieces[0]) - 1);
    std::string text;
    for (int i = 0; i < pieces; ++i) {
        const char* piece = kPieces[pick(random)];
        text += piece[0] == '\0' ? std::string(1, '\0') : std::string(piece);
    }
    return text;
}

// Every entry lies inside the text and every link stays within the index.
void ExpectSaneIndex(const CXmlDocument& doc) {
    const int32_t n = static_cast<int32_t>(doc.GetDocText().size());
    const int32_t count = DocumentInside::EntryCount(doc);
    for (int32_t i = 1; i < count; ++i) {
        const ElementEntry& e = DocumentInside::Entry(doc, i);
        ASSERT_GE(e.start, 0);
        ASSERT_LE(e.start + e.length, n);
        ASSERT_GE(e.length, e.StartTagLength() + e.EndTagLength());
        ASSERT_TRUE(e.parent >= 0 && e.parent < count);
        ASSERT_TRUE(e.nextSibling >= 0 && e.nextSibling < count);
        ASSERT_TRUE(e.prevSibling > 0 && e.prevSibling < count);
        ASSERT_TRUE(e.firstChild >= 0 && e.firstChild < count);
    }
}

// Visits every element depth-first through the navigation calls alone and
// reads each one; returns how many were visited.
int WalkAll(CXmlDocument& doc) {
    int visited = 0;
    doc.ResetPosition();
    for (;;) {
        if (doc.FindElement(nullptr)) {
            ++visited;
            doc.GetAttribute("x");
            doc.GetAttribute("y");
            doc.GetElementText();
            doc.IntoElement();
        } else if (!doc.OutOfElement()) {
            return visited;
        }
    }
}

TEST(Robustness, NoiseParsesWalksAndEditsSafely) {
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        const std::string text = Noise(random, 1 + round % 40);
        CXmlDocument doc(text);
        ExpectSaneIndex(doc);
        EXPECT_LT(doc.GetResultReport().size(), kReportLimit + 200);
        EXPECT_EQ(WalkAll(doc), DocumentInside::EntryCount(doc) - 1) << text;
        // Edit the first element, if any, and check the index still matches.
        doc.ResetPosition();
        if (doc.FindElement(nullptr)) {
            doc.SetAttribute("x", "v<'\"&");
            doc.SetAttribute("q", round);
            doc.AddElement("n", "", 2);
            ExpectSaneIndex(doc);
            doc.ResetPosition();
            doc.FindElement(nullptr);
            if (doc.GetAttribute("q") != "") {
                EXPECT_EQ(doc.GetAttribute("q"), std::to_string(round)) << doc.GetDocText();
            }
        }
        if (HasFatalFailure()) {
            FAIL() << "round " << round << ": " << text;
        }
    }
}

}  // namespace
