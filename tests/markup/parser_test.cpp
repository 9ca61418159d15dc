#include <gtest/gtest.h>

#include <string>

#include "../support/failing_allocator.h"
#include "markup/document_inside.h"
#include "markup/markup.h"
#include "markup/result_report.h"

namespace {

// Checks the linking invariants of the whole index: first-child marks,
// the first child's prevSibling naming the last child, parents, and every
// element inside the text.
void ExpectConsistentIndex(const CXmlDocument& doc) {
    const int32_t n = static_cast<int32_t>(doc.GetDocText().size());
    EXPECT_EQ(DocumentInside::Entry(doc, 0).length, n);
    for (int32_t p = 0; p < DocumentInside::EntryCount(doc); ++p) {
        const ElementEntry& parent = DocumentInside::Entry(doc, p);
        if (p != 0) {
            EXPECT_GE(parent.start, 0);
            EXPECT_LE(parent.start + parent.length, n) << "entry " << p;
            EXPECT_LE(parent.StartTagLength() + parent.EndTagLength(), parent.length);
        }
        int32_t last = 0;
        for (int32_t c = parent.firstChild; c != 0; c = DocumentInside::Entry(doc, c).nextSibling) {
            const ElementEntry& child = DocumentInside::Entry(doc, c);
            EXPECT_EQ(child.parent, p) << "entry " << c;
            EXPECT_EQ((child.flags & kEntryFirstChild) != 0, c == parent.firstChild) << c;
            if (last != 0) {
                EXPECT_EQ(child.prevSibling, last);
                EXPECT_GT(child.start, DocumentInside::Entry(doc, last).start);
            }
            last = c;
        }
        if (parent.firstChild != 0) {
            EXPECT_EQ(DocumentInside::Entry(doc, parent.firstChild).prevSibling, last)
                << "parent " << p;
        }
    }
}

TEST(Parser, NestedElements) {
    CXmlDocument doc("<a><b/></a>");
    EXPECT_TRUE(doc.CheckWellFormed());
    ASSERT_EQ(DocumentInside::EntryCount(doc), 3);
    const ElementEntry& a = DocumentInside::Entry(doc, 1);
    const ElementEntry& b = DocumentInside::Entry(doc, 2);
    EXPECT_EQ(a.start, 0);
    EXPECT_EQ(a.length, 11);
    EXPECT_EQ(a.StartTagLength(), 3);
    EXPECT_EQ(a.EndTagLength(), 4);
    EXPECT_EQ(a.firstChild, 2);
    EXPECT_EQ(a.Level(), 0);
    EXPECT_EQ(b.start, 3);
    EXPECT_EQ(b.length, 4);
    EXPECT_EQ(b.EndTagLength(), 0);
    EXPECT_EQ(b.prevSibling, 2);
    EXPECT_EQ(b.parent, 1);
    EXPECT_EQ(b.Level(), 1);
    EXPECT_NE(b.flags & kEntryFirstChild, 0u);
    EXPECT_EQ(DocumentInside::Entry(doc, 0).firstChild, 1);
    EXPECT_EQ(doc.GetResultReport(), "");
    ExpectConsistentIndex(doc);
}

// The report as text for people, and the outcome as a type: the first
// problem (status, offset, offset2) and how many problems were listed.
struct ReportCase {
    const char* text;
    bool wellFormed;
    const char* report;
    XmlStatus status;
    int32_t offset;
    int32_t offset2;
    size_t problems;
};

class ParserReport : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ParserReport, WellFormednessAndExactReport) {
    const ReportCase& c = GetParam();
    CXmlDocument doc(c.text);
    EXPECT_EQ(doc.CheckWellFormed(), c.wellFormed);
    EXPECT_EQ(doc.GetResultReport(), c.report);
    const XmlOutcome& outcome = doc.GetOutcome();
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.offset, c.offset);
    EXPECT_EQ(outcome.offset2, c.offset2);
    ASSERT_EQ(doc.GetProblems().size(), c.problems);
    if (c.problems > 0) {
        EXPECT_EQ(doc.GetProblems().front().status, outcome.status);
        EXPECT_EQ(doc.GetProblems().front().offset, outcome.offset);
    }
    ExpectConsistentIndex(doc);
    EXPECT_EQ(doc.GetParentPos(), 0);
    EXPECT_EQ(doc.GetMainPos(), 0);
    EXPECT_EQ(doc.GetChildPos(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ParserReport,
    ::testing::Values(
        ReportCase{"", false, "", XmlStatus::kEmptyText, -1, -1, 1},
        ReportCase{"  \r\n ", false, "<no_root_element/>", XmlStatus::kNoRootElement, -1, -1, 1},
        ReportCase{"<!-- only -->", false, "<no_root_element/>", XmlStatus::kNoRootElement, -1, -1,
                   1},
        ReportCase{"<?xml version=\"1.0\"?><!-- c --><r>t</r>\n\n", true, "",
                   XmlStatus::kWellFormed, -1, -1, 0},
        ReportCase{"<!DOCTYPE r [<!ELEMENT r ANY>]><r/>", true, "", XmlStatus::kWellFormed, -1, -1,
                   0},
        ReportCase{"<a/><b/>", false, "<root_has_sibling/>", XmlStatus::kRootHasSibling, 4, -1, 1},
        ReportCase{"<a><b></a>", false,
                   "<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"7\"/>",
                   XmlStatus::kUnendedStartTag, 3, 7, 1},
        ReportCase{"<a></x></a>", false, "<lone_end_tag tagname=\"x\" offset=\"3\"/>",
                   XmlStatus::kLoneEndTag, 3, -1, 1},
        ReportCase{"<r><a>", false,
                   "<unended_start_tag tagname=\"a\" offset=\"3\" offset2=\"6\"/>"
                   "<unended_start_tag tagname=\"r\" offset=\"0\" offset2=\"6\"/>"
                   "<root_has_sibling/>",
                   XmlStatus::kUnendedStartTag, 3, 6, 3},
        ReportCase{"<r><1><!x></r>", false,
                   "<first_tag_syntax offset=\"3\"/><exclamation_tag_syntax offset=\"6\"/>",
                   XmlStatus::kBadMarkup, 3, -1, 2},
        ReportCase{"<r>x</r><", false, "<unterminated_tag_syntax type=\"tag\" offset=\"8\"/>",
                   XmlStatus::kUnterminatedMarkup, 8, -1, 1},
        ReportCase{"<!DOCTYPE r [<!X>]><r/>", false, "<doctype_tag_syntax offset=\"0\"/>",
                   XmlStatus::kBadMarkup, 0, -1, 1},
        ReportCase{"<A></a>", false,
                   "<lone_end_tag tagname=\"a\" offset=\"3\"/>"
                   "<unended_start_tag tagname=\"A\" offset=\"0\" offset2=\"7\"/>",
                   XmlStatus::kLoneEndTag, 3, -1, 2},
        ReportCase{"<a t=\"&lt;\"></a>", true, "", XmlStatus::kWellFormed, -1, -1, 0}));

TEST(Parser, UnendedElementHandsItsChildrenToItsParent) {
    CXmlDocument doc("<r><a><b/><c/></r>");
    EXPECT_FALSE(doc.CheckWellFormed());
    // r=1 a=2 b=3 c=4: r's children are a, b, c.
    const ElementEntry& r = DocumentInside::Entry(doc, 1);
    const ElementEntry& a = DocumentInside::Entry(doc, 2);
    EXPECT_EQ(r.firstChild, 2);
    EXPECT_EQ(a.nextSibling, 3);
    EXPECT_EQ(DocumentInside::Entry(doc, 3).nextSibling, 4);
    EXPECT_EQ(DocumentInside::Entry(doc, 2).prevSibling, 4);
    EXPECT_EQ(DocumentInside::Entry(doc, 3).flags & kEntryFirstChild, 0u);
    EXPECT_EQ(DocumentInside::Entry(doc, 3).parent, 1);
    EXPECT_EQ(DocumentInside::Entry(doc, 4).parent, 1);
    EXPECT_NE(a.flags & kEntryUnended, 0u);
    EXPECT_EQ(a.length, a.StartTagLength());
    EXPECT_EQ(a.firstChild, 0);
    EXPECT_EQ(r.length, 18);
    EXPECT_NE(DocumentInside::Entry(doc, 0).flags & kEntryIllFormed, 0u);
    ExpectConsistentIndex(doc);
}

TEST(Parser, LoneEndTagMarksItsElement) {
    CXmlDocument doc("<a></x></a>");
    EXPECT_NE(DocumentInside::Entry(doc, 1).flags & kEntryErrorInside, 0u);
    EXPECT_EQ(DocumentInside::Entry(doc, 1).length, 11);
}

TEST(Parser, ErrorInsideMovesUpWhenAnElementIsUnended) {
    CXmlDocument doc("<r><a><1></r>");
    EXPECT_EQ(DocumentInside::Entry(doc, 2).flags & kEntryErrorInside, 0u);
    EXPECT_NE(DocumentInside::Entry(doc, 1).flags & kEntryErrorInside, 0u);
}

TEST(Parser, IgnoreCaseFlagMatchesEndTags) {
    CXmlDocument doc;
    DocumentInside::SetFlags(doc, kDocIgnoreCase);
    EXPECT_TRUE(doc.SetDocText("<A></a>"));
}

TEST(Parser, EveryErrorTokenAppearsOnceInTextOrder) {
    CXmlDocument doc("<r><1>x<2></r>");
    EXPECT_EQ(doc.GetResultReport(),
              "<first_tag_syntax offset=\"3\"/><first_tag_syntax offset=\"7\"/>");
}

TEST(Parser, ReportStaysBoundedForBrokenDocuments) {
    std::string text = "<r>";
    for (int i = 0; i < 2000; ++i) {
        text += "<1></x><y>";
    }
    CXmlDocument doc(text);
    EXPECT_FALSE(doc.CheckWellFormed());
    // Entries stop once the report has reached the limit; the last one may
    // cross it by one entry's length.
    EXPECT_GE(doc.GetResultReport().size(), kReportLimit);
    EXPECT_LT(doc.GetResultReport().size(), kReportLimit + 200);
    // The listed problems stop at their own limit; the first stays the outcome.
    EXPECT_EQ(doc.GetProblems().size(), static_cast<size_t>(kMaxListedProblems));
    EXPECT_EQ(doc.GetOutcome().status, XmlStatus::kBadMarkup);
    EXPECT_EQ(doc.GetOutcome().offset, 3);
    ExpectConsistentIndex(doc);
}

TEST(Parser, TagsTooLongForTheirFieldsAreErrorsNotElements) {
    const std::string longValue(kMaxStartTagLength, 'v');
    CXmlDocument doc("<r><a x='" + longValue + "'/></r>");
    EXPECT_FALSE(doc.CheckWellFormed());
    EXPECT_EQ(DocumentInside::EntryCount(doc), 2);
    EXPECT_EQ(doc.GetResultReport(), "<tag_too_long type=\"start_tag\" offset=\"3\"/>");
    EXPECT_EQ(doc.GetOutcome().status, XmlStatus::kTagTooLong);
    EXPECT_EQ(doc.GetOutcome().offset, 3);
    ExpectConsistentIndex(doc);

    // "</r" + spaces + ">" is one byte longer than the end-tag field holds.
    const std::string spaces(kMaxEndTagLength - 3, ' ');
    const std::string endText = "<r></r" + spaces + ">";
    CXmlDocument end(endText);
    EXPECT_FALSE(end.CheckWellFormed());
    EXPECT_EQ(end.GetResultReport(),
              "<tag_too_long type=\"end_tag\" offset=\"3\"/>"
              "<unended_start_tag tagname=\"r\" offset=\"0\" offset2=\"" +
                  std::to_string(endText.size()) + "\"/>");
    ExpectConsistentIndex(end);
    // One byte shorter fits.
    CXmlDocument fits("<r></r" + spaces.substr(1) + ">");
    EXPECT_TRUE(fits.CheckWellFormed());
    EXPECT_EQ(DocumentInside::Entry(fits, 1).EndTagLength(),
              static_cast<int32_t>(kMaxEndTagLength));
}

TEST(Parser, NestingDeeperThanTheLevelFieldIsSaturated) {
    const int depth = static_cast<int>(kMaxLevel) + 10;
    std::string text;
    for (int i = 0; i < depth; ++i) {
        text += "<e>";
    }
    for (int i = 0; i < depth; ++i) {
        text += "</e>";
    }
    CXmlDocument doc(text);
    EXPECT_FALSE(doc.CheckWellFormed());
    EXPECT_EQ(DocumentInside::EntryCount(doc), depth + 1);
    EXPECT_EQ(DocumentInside::Entry(doc, depth).Level(), static_cast<int32_t>(kMaxLevel));
    EXPECT_EQ(DocumentInside::Entry(doc, depth).flags & ~kEntryLevelMask, kEntryFirstChild);
    EXPECT_EQ(DocumentInside::Entry(doc, 1).length, static_cast<int32_t>(text.size()));
    const std::string expected =
        "<nesting_too_deep offset=\"" + std::to_string(3 * (kMaxLevel + 1)) + "\"/>";
    EXPECT_EQ(doc.GetResultReport(), expected);
    EXPECT_EQ(doc.GetOutcome().status, XmlStatus::kNestingTooDeep);
    EXPECT_EQ(doc.GetOutcome().offset, static_cast<int32_t>(3 * (kMaxLevel + 1)));
    ExpectConsistentIndex(doc);
}

// Open elements are kept in the index itself: however deep a document
// nests, its parse allocates only its copy of the text (the index pages
// grow apart from operator new).
TEST(Parser, OpeningElementsAllocatesNothing) {
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        text += i % 2 ? "<b x='1'>" : "<a>";
    }
    for (int i = 2999; i >= 0; --i) {
        text += i % 2 ? "</b>" : "</a>";
    }
    CXmlDocument doc;
    testing_support::FailingAllocations counter(-1);
    doc.SetDocText(text);
    EXPECT_LE(counter.Seen(), 2);
    EXPECT_EQ(DocumentInside::EntryCount(doc), 3001);
    EXPECT_TRUE(doc.CheckWellFormed());
}

TEST(Parser, SetDocTextRefusedWhileAttachedToAFile) {
    CXmlDocument doc("<a/>");
    DocumentInside::SetFlags(doc, kDocReadingFile);
    EXPECT_FALSE(doc.SetDocText("<b/>"));
    EXPECT_EQ(doc.GetDocText(), "<a/>");
    DocumentInside::SetFlags(doc, 0);
    EXPECT_TRUE(doc.SetDocText("<b/>"));
}

}  // namespace
