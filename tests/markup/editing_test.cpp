#include <gtest/gtest.h>

#include <string>

#include "markup/document_inside.h"
#include "markup/markup.h"

namespace {

// After an edit the index must describe the new text exactly as a fresh
// parse does. Edits give new elements the next free index, so the two trees
// are walked side by side in document order rather than compared by index.
void ExpectIndexMatchesReparse(const CXmlDocument& doc) {
    CXmlDocument fresh(doc.GetDocText());
    ASSERT_EQ(DocumentInside::EntryCount(doc), DocumentInside::EntryCount(fresh))
        << doc.GetDocText();
    EXPECT_EQ(DocumentInside::Entry(doc, 0).length, DocumentInside::Entry(fresh, 0).length);
    int32_t x = DocumentInside::Entry(doc, 0).firstChild;
    int32_t y = DocumentInside::Entry(fresh, 0).firstChild;
    int visited = 0;
    while (x != 0 && y != 0) {
        const ElementEntry& a = DocumentInside::Entry(doc, x);
        const ElementEntry& b = DocumentInside::Entry(fresh, y);
        ASSERT_EQ(a.start, b.start) << "element " << visited << " in " << doc.GetDocText();
        EXPECT_EQ(a.length, b.length) << "element " << visited;
        EXPECT_EQ(a.tagLengths, b.tagLengths) << "element " << visited;
        EXPECT_EQ(a.Level(), b.Level()) << "element " << visited;
        EXPECT_EQ(a.flags & kEntryFirstChild, b.flags & kEntryFirstChild);
        EXPECT_EQ(DocumentInside::Entry(doc, a.prevSibling).start,
                  DocumentInside::Entry(fresh, b.prevSibling).start);
        ASSERT_EQ(a.firstChild != 0, b.firstChild != 0) << "element " << visited;
        ++visited;
        // Next in document order: first child, else next sibling of the
        // nearest element that has one.
        if (a.firstChild != 0) {
            x = a.firstChild;
            y = b.firstChild;
            continue;
        }
        while (x != 0 && DocumentInside::Entry(doc, x).nextSibling == 0) {
            ASSERT_EQ(DocumentInside::Entry(fresh, y).nextSibling, 0);
            x = DocumentInside::Entry(doc, x).parent;
            y = DocumentInside::Entry(fresh, y).parent;
        }
        if (x != 0) {
            x = DocumentInside::Entry(doc, x).nextSibling;
            y = DocumentInside::Entry(fresh, y).nextSibling;
        }
    }
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(visited, DocumentInside::EntryCount(doc) - 1);
}

TEST(AddElement, IntoAnEmptyDocument) {
    CXmlDocument doc("");
    ASSERT_TRUE(doc.AddElement("a", "", 2));
    EXPECT_EQ(doc.GetDocText(), "<a/>");
    EXPECT_EQ(DocumentInside::Entry(doc, 1).start, 0);
    EXPECT_EQ(DocumentInside::Entry(doc, 1).length, 4);
    EXPECT_EQ(DocumentInside::Entry(doc, 0).length, 4);
    EXPECT_EQ(doc.GetMainPos(), 1);
    EXPECT_EQ(DocumentInside::Entry(doc, 0).firstChild, 1);
}

TEST(AddElement, TwoAppendsLinkAsSiblings) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.AddElement("a", "", 2));
    ASSERT_TRUE(doc.AddElement("b", nullptr, 2));
    EXPECT_EQ(doc.GetDocText(), "<a/><b/>");
    EXPECT_EQ(DocumentInside::Entry(doc, 1).nextSibling, 2);
    EXPECT_EQ(DocumentInside::Entry(doc, 1).prevSibling, 2);
    EXPECT_EQ(DocumentInside::Entry(doc, 2).prevSibling, 1);
    ExpectIndexMatchesReparse(doc);
}

TEST(AddElement, AfterTheMainPositionInsideAParent) {
    CXmlDocument doc("<r><a><x/></a><c/></r>");
    ASSERT_TRUE(doc.FindElement("r"));
    ASSERT_TRUE(doc.IntoElement());
    ASSERT_TRUE(doc.FindElement("a"));
    ASSERT_TRUE(doc.AddElement("b", "", 2));
    EXPECT_EQ(doc.GetDocText(), "<r><a><x/></a><b/><c/></r>");
    EXPECT_EQ(doc.GetParentPos(), 1);
    // Appending without a main position goes after the last child.
    doc.ResetMainPosition();
    ASSERT_TRUE(doc.AddElement("d", "", 2));
    EXPECT_EQ(doc.GetDocText(), "<r><a><x/></a><b/><c/><d/></r>");
    EXPECT_EQ(DocumentInside::Entry(doc, 0).length, static_cast<int32_t>(doc.GetDocText().size()));
    // The new elements are found by name afterwards.
    doc.ResetMainPosition();
    ASSERT_TRUE(doc.FindElement("d"));
    EXPECT_EQ(DocumentInside::Entry(doc, doc.GetMainPos()).Level(), 1);
}

TEST(AddElement, Refusals) {
    CXmlDocument doc("<r><a/></r>");
    EXPECT_FALSE(doc.AddElement("b", "text", 2));
    EXPECT_FALSE(doc.AddElement("b", "", 0));
    EXPECT_FALSE(doc.AddElement("", "", 2));
    EXPECT_FALSE(doc.AddElement("a b", "", 2));
    EXPECT_FALSE(doc.AddElement("a/><x", "", 2));
    EXPECT_FALSE(doc.AddElement("1a", "", 2));
    doc.FindElement("r");
    doc.IntoElement();
    doc.FindElement("a");
    doc.IntoElement();  // a has no children: refused
    EXPECT_FALSE(doc.AddElement("b", "", 2));
    DocumentInside::SetFlags(doc, kDocReadingFile);
    doc.ResetPosition();
    EXPECT_FALSE(doc.AddElement("b", "", 2));
    EXPECT_EQ(doc.GetDocText(), "<r><a/></r>");
}

struct SetCase {
    const char* text;
    const char* name;
    const char* value;
    const char* expected;
};

class SetAttributeOnFirst : public ::testing::TestWithParam<SetCase> {};

TEST_P(SetAttributeOnFirst, TextAndIndex) {
    CXmlDocument doc(GetParam().text);
    ASSERT_TRUE(doc.FindElement(nullptr));
    ASSERT_TRUE(doc.SetAttribute(GetParam().name, GetParam().value));
    EXPECT_EQ(doc.GetDocText(), GetParam().expected);
    ExpectIndexMatchesReparse(doc);
    EXPECT_EQ(doc.GetAttribute(GetParam().name), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetAttributeOnFirst,
    ::testing::Values(SetCase{"<a/>", "x", "1", "<a x=\"1\"/>"},
                      SetCase{"<a x='1'/>", "x", "22", "<a x=\"22\"/>"},
                      SetCase{"<a x=1 y='2'></a>", "x", "3", "<a x=\"3\" y='2'></a>"},
                      SetCase{"<a x='1' >t</a>", "y", "<&>\"'",
                              "<a x='1' y=\"&lt;&amp;&gt;&quot;&apos;\" >t</a>"},
                      SetCase{"<a><b/></a><c/>", "n", "v", "<a n=\"v\"><b/></a><c/>"},
                      SetCase{"<r><a/><b x='1'/></r>", "z", "", "<r z=\"\"><a/><b x='1'/></r>"},
                      // Written without a value: the value goes after the name.
                      SetCase{"<a x/>", "x", "v", "<a x=\"v\"/>"},
                      SetCase{"<a x y='1'/>", "x", "v", "<a x=\"v\" y='1'/>"},
                      // Edits stay inside the element's own start tag.
                      SetCase{"<a y=><b x='1'/></a>", "y", "v", "<a y=\"v\"><b x='1'/></a>"},
                      SetCase{"<a y=><b x='1'/></a>", "x", "v",
                              "<a y=\"\" x=\"v\"><b x='1'/></a>"}));

TEST(SetAttribute, LengthsAndLaterElementsMove) {
    CXmlDocument doc("<a x='1'/><b/>");
    ASSERT_TRUE(doc.FindElement("a"));
    const int32_t startTag = DocumentInside::Entry(doc, 1).StartTagLength();
    ASSERT_TRUE(doc.SetAttribute("x", 22));
    EXPECT_EQ(DocumentInside::Entry(doc, 1).StartTagLength(), startTag + 1);
    EXPECT_EQ(DocumentInside::Entry(doc, 1).length, startTag + 1);
    EXPECT_EQ(DocumentInside::Entry(doc, 2).start, 11);
    ASSERT_TRUE(doc.SetAttribute("n", -5));
    EXPECT_EQ(doc.GetDocText(), "<a x=\"22\" n=\"-5\"/><b/>");
    EXPECT_STREQ(doc.GetPositionPointer(), doc.GetDocText().c_str());
    ExpectIndexMatchesReparse(doc);
}

TEST(SetAttribute, Refusals) {
    CXmlDocument doc("<a/>");
    EXPECT_FALSE(doc.SetAttribute("x", "1"));  // no main position
    doc.FindElement("a");
    EXPECT_FALSE(doc.SetAttribute("x y", "1"));
    EXPECT_FALSE(doc.SetAttribute("x='1'", "1"));
    EXPECT_FALSE(doc.SetAttribute(nullptr, "1"));
    DocumentInside::SetFlags(doc, kDocReadingFile);
    EXPECT_FALSE(doc.SetAttribute("x", "1"));
    EXPECT_EQ(doc.GetDocText(), "<a/>");
    DocumentInside::SetFlags(doc, 0);
    EXPECT_TRUE(doc.SetAttribute("x", nullptr));
    EXPECT_EQ(doc.GetDocText(), "<a x=\"\"/>");
}

TEST(SetAttribute, StartTagMayNotOutgrowItsField) {
    CXmlDocument doc("<a/>");
    doc.FindElement("a");
    const std::string big(kMaxStartTagLength, 'v');
    EXPECT_FALSE(doc.SetAttribute("x", big.c_str()));
    EXPECT_EQ(doc.GetDocText(), "<a/>");
    ASSERT_TRUE(doc.SetAttribute("x", big.substr(0, kMaxStartTagLength - 20).c_str()));
    EXPECT_EQ(DocumentInside::Entry(doc, 1).StartTagLength(),
              static_cast<int32_t>(doc.GetDocText().size()));
}

TEST(Editing, ManyEditsKeepTheIndexInStep) {
    CXmlDocument doc("<r><a><b/></a><c/></r>");
    for (int round = 0; round < 30; ++round) {
        doc.ResetPosition();
        doc.FindElement("r");
        doc.IntoElement();
        doc.FindElement(round % 2 ? "a" : "c");
        ASSERT_TRUE(doc.SetAttribute(("k" + std::to_string(round % 5)).c_str(), round * 37));
        ASSERT_TRUE(doc.AddElement("n", "", 2));
        ASSERT_TRUE(doc.SetAttribute("i", round));
    }
    ExpectIndexMatchesReparse(doc);
    EXPECT_TRUE(CXmlDocument(doc.GetDocText()).CheckWellFormed());
}

}  // namespace
