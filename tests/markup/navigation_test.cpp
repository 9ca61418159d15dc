#include <gtest/gtest.h>

#include <string>

#include "markup/document_inside.h"
#include "markup/markup.h"
#include "platform/ansi.h"

namespace {

struct Pos {
    int32_t parent, main, child;
};

void ExpectPositions(const CXmlDocument& doc, Pos p) {
    EXPECT_EQ(doc.GetParentPos(), p.parent);
    EXPECT_EQ(doc.GetMainPos(), p.main);
    EXPECT_EQ(doc.GetChildPos(), p.child);
}

// config=1 app(a)=2 x=3 app(b)=4
const char kConfig[] = "<config><app name=\"a\"/><x/><app name=\"b\"/></config>";

TEST(Navigation, WalkOverRepeatedElements) {
    CXmlDocument doc(kConfig);
    doc.ResetPosition();
    ASSERT_TRUE(doc.FindElement("config"));
    ExpectPositions(doc, {0, 1, 0});
    ASSERT_TRUE(doc.IntoElement());
    ExpectPositions(doc, {1, 0, 0});
    ASSERT_TRUE(doc.FindElement("app"));
    ExpectPositions(doc, {1, 2, 0});
    EXPECT_EQ(doc.GetAttribute("name"), "a");
    ASSERT_TRUE(doc.FindElement("app"));
    ExpectPositions(doc, {1, 4, 0});
    EXPECT_EQ(doc.GetAttribute("name"), "b");
    EXPECT_FALSE(doc.FindElement("app"));
    ExpectPositions(doc, {1, 4, 0});
    EXPECT_EQ(doc.GetElementName(), "app");
    EXPECT_EQ(doc.GetElementOffset(), 27);
    doc.ResetMainPosition();
    ExpectPositions(doc, {1, 0, 0});
    EXPECT_EQ(doc.GetElementName(), "");
    EXPECT_EQ(doc.GetElementOffset(), -1);
    // A name with bytes of 0x80 and up is read by characters, as the finder reads it.
    CXmlDocument named("<caf\xC3\xA9 a='1'/>");
    named.FindElement(nullptr);
    EXPECT_EQ(named.GetElementName(), "caf\xC3\xA9");
    ASSERT_TRUE(doc.FindElement("app"));
    EXPECT_EQ(doc.GetAttribute("name"), "a");
    ASSERT_TRUE(doc.FindElement(""));
    ExpectPositions(doc, {1, 3, 0});
}

TEST(Navigation, NameArgumentsAndPathSyntax) {
    struct Case {
        const char* name;
        bool found;
    };
    const Case cases[] = {
        {nullptr, true},  {"", true},          {"app", true},           {"ap", false},
        {"apps", false},  {"/config", false},  {"//app", false},        {"a b", false},
        {"app[2]", true}, {"app/name", true},  {"app/@name", true},     {"app[@name='a']", true},
        {"app/", false},  {"app[0]", true},    {"app[2", false},        {"app]", false},
        {"APP", false},   {"app[@n=x]", true}, {"app[@n=\"x\"]", true}, {"app[n]", true},
    };
    for (const Case& c : cases) {
        CXmlDocument doc(kConfig);
        doc.FindElement("config");
        doc.IntoElement();
        EXPECT_EQ(doc.FindElement(c.name), c.found) << (c.name ? c.name : "(null)");
        if (!c.found) {
            ExpectPositions(doc, {1, 0, 0});
        }
    }
}

TEST(Navigation, IgnoreCaseFlagAppliesToNames) {
    CXmlDocument doc;
    DocumentInside::SetFlags(doc, kDocIgnoreCase);
    doc.SetDocText(kConfig);
    EXPECT_TRUE(doc.FindElement("CONFIG"));
}

TEST(Navigation, ChildPositionsAndStepping) {
    CXmlDocument doc(kConfig);
    EXPECT_FALSE(doc.IntoElement());
    EXPECT_FALSE(doc.OutOfElement());
    EXPECT_EQ(doc.GetChildText(), "");
    // No main position: the first element becomes the main one.
    ASSERT_TRUE(doc.FindChildElement("x"));
    ExpectPositions(doc, {0, 1, 3});
    ASSERT_TRUE(doc.FindChildElement("app"));
    ExpectPositions(doc, {0, 1, 4});
    EXPECT_FALSE(doc.FindChildElement("app"));
    ExpectPositions(doc, {0, 1, 4});
    // Into: the child becomes the main position.
    ASSERT_TRUE(doc.IntoElement());
    ExpectPositions(doc, {1, 4, 0});
    EXPECT_EQ(doc.GetAttribute("name"), "b");
    ASSERT_TRUE(doc.OutOfElement());
    ExpectPositions(doc, {0, 1, 4});
}

TEST(Navigation, OutOfElementAfterFind) {
    CXmlDocument doc(kConfig);
    doc.FindElement("config");
    doc.IntoElement();
    doc.FindElement("x");
    ASSERT_TRUE(doc.OutOfElement());
    ExpectPositions(doc, {0, 1, 3});
}

TEST(Navigation, FindChildWithoutAnyElementFindsNothing) {
    CXmlDocument doc("<!-- nothing -->");
    EXPECT_FALSE(doc.FindChildElement("a"));
    ExpectPositions(doc, {0, 0, 0});
    CXmlDocument leaf("<a/><b><c/></b>");
    leaf.FindElement("a");
    leaf.IntoElement();  // a has no children
    EXPECT_FALSE(leaf.FindChildElement("c"));
    ExpectPositions(leaf, {1, 0, 0});
}

// In a double-byte code page a trail byte that equals a quote, "<" or ">"
// belongs to its character: it ends no value, text or tag.
TEST(Navigation, TrailBytesThatLookLikeMarkupStayInTheirCharacters) {
    if (platform::AnsiCharLengths()[0x81] != 2) {
        GTEST_SKIP() << "needs a double-byte ANSI code page";
    }
    CXmlDocument doc("<r a='\x81'' b=\"\x81\">\"><t>\x81<\x81></t></r>");
    ASSERT_TRUE(doc.CheckWellFormed()) << doc.GetResultReport();
    ASSERT_TRUE(doc.FindElement("r"));
    EXPECT_EQ(doc.GetAttribute("a"), "\x81'");
    EXPECT_EQ(doc.GetAttribute("b"), "\x81\">");
    ASSERT_TRUE(doc.FindChildElement("t"));
    EXPECT_EQ(doc.GetChildText(), "\x81<\x81>");
}

TEST(Navigation, RefusedWhileWritingAFile) {
    CXmlDocument doc(kConfig);
    DocumentInside::SetFlags(doc, kDocWritingFile);
    EXPECT_FALSE(doc.FindElement("config"));
    EXPECT_FALSE(doc.FindChildElement("app"));
}

struct AttributeCase {
    const char* text;
    const char* name;
    const char* value;
};

class Attribute : public ::testing::TestWithParam<AttributeCase> {};

TEST_P(Attribute, ValueOfTheFirstElement) {
    CXmlDocument doc(GetParam().text);
    ASSERT_TRUE(doc.FindElement(nullptr));
    EXPECT_EQ(doc.GetAttribute(GetParam().name), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    StartTags, Attribute,
    ::testing::Values(
        AttributeCase{"<app name = 'v' >", "name", "v"},
        AttributeCase{"<app names=\"v\">", "name", ""}, AttributeCase{"<app name>", "name", "name"},
        AttributeCase{"<app name x='1'>", "name", "name"},
        AttributeCase{"<app a='1' a='2'/>", "a", "1"}, AttributeCase{"<app a=1 b=2/>", "b", "2/"},
        AttributeCase{"<app a=\"x&amp;y&lt;&#65;\"/>", "a", "x&y<A"},
        AttributeCase{"<app a=\"it's\" b='say \"hi\"'/>", "b", "say \"hi\""},
        AttributeCase{"<app a='>'/>", "a", ">"}, AttributeCase{"<app\ta\n=\r'1'/>", "a", "1"},
        AttributeCase{"<app/>", "app", ""}, AttributeCase{"<app a='1'/>", "", ""},
        // Reads stay inside the element's own start tag.
        AttributeCase{"<a y=>", "y", ""}, AttributeCase{"<a y=><b x='1'/></a>", "x", ""},
        AttributeCase{"<a y><b x='1'/></a>", "x", ""},
        AttributeCase{"<a y= ><b x='1'/></a>", "y", ""},
        AttributeCase{"<a \"q><b x='1'/></a>", "x", ""}));

TEST(Attribute, NullNameAndNoMainPosition) {
    CXmlDocument doc("<a x='1'/>");
    EXPECT_EQ(doc.GetAttribute("x"), "");
    doc.FindElement("a");
    EXPECT_EQ(doc.GetAttribute(nullptr), "");
}

struct TextCase {
    const char* text;
    const char* expected;
};

class ElementText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ElementText, OfTheFirstElement) {
    CXmlDocument doc(GetParam().text);
    ASSERT_TRUE(doc.FindElement(nullptr));
    EXPECT_EQ(doc.GetElementText(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, ElementText,
    ::testing::Values(TextCase{"<t>a&amp;b</t>", "a&b"},
                      TextCase{"<t><![CDATA[x<y]]> <!--c--></t>", "x<y"}, TextCase{"<t> </t>", " "},
                      TextCase{"<t><u/>v</t>", ""}, TextCase{"<t/>", ""}, TextCase{"<t>", ""},
                      TextCase{"<t></t>", ""}, TextCase{"<t>a<!--c-->b<?p?>c&lt;</t>", "abc<"},
                      TextCase{"<t>a<![CDATA[&amp;]]>&amp;</t>", "a&amp;&"},
                      TextCase{"<t>a>b</t>", "a>b"},
                      // A CDATA token too short to hold its opener and terminator
                      // contributes nothing and nothing outside it is read.
                      TextCase{"<t>a<![C]]>b</t>", "ab"}, TextCase{"<t><![CDATA[]]></t>", ""}));

TEST(ElementText, ChildText) {
    CXmlDocument doc(
        "<train><time>2026-12-08 10:00:00</time><vagen><serial>7</serial></vagen></train>");
    ASSERT_TRUE(doc.FindElement("train"));
    ASSERT_TRUE(doc.FindChildElement("time"));
    EXPECT_EQ(doc.GetChildText(), "2026-12-08 10:00:00");
    ASSERT_TRUE(doc.IntoElement());
    ASSERT_TRUE(doc.FindElement("vagen"));
    ASSERT_TRUE(doc.FindChildElement("serial"));
    EXPECT_EQ(doc.GetChildText(), "7");
    EXPECT_EQ(doc.GetElementText(), "");
}

// The view reads give what the string reads give: a view of the document
// text for a value with nothing to decode, else of decoded storage.
TEST(Navigation, ViewReadsMatchTheStringReads) {
    CXmlDocument doc("<r a=\"plain\" b=\"x&amp;y\" c><t>text</t><u>a&lt;<![CDATA[&]]></u><v/></r>");
    const std::string& text = doc.GetDocText();
    auto inText = [&](std::string_view view) {
        return view.data() >= text.data() && view.data() + view.size() <= text.data() + text.size();
    };
    ASSERT_TRUE(doc.FindElement("r"));
    for (const char* name : {"a", "b", "c", "d"}) {
        EXPECT_EQ(doc.GetAttributeView(name), doc.GetAttribute(name)) << name;
    }
    EXPECT_TRUE(inText(doc.GetAttributeView("a")));
    EXPECT_TRUE(inText(doc.GetAttributeView("c")));
    EXPECT_EQ(doc.GetAttributeView("b"), "x&y");
    EXPECT_FALSE(inText(doc.GetAttributeView("b")));
    for (const char* child : {"t", "u", "v"}) {
        ASSERT_TRUE(doc.FindChildElement(child));
        EXPECT_EQ(doc.GetChildTextView(), doc.GetChildText()) << child;
    }
    ASSERT_TRUE(doc.IntoElement());
    doc.ResetMainPosition();
    ASSERT_TRUE(doc.FindElement("u"));
    EXPECT_EQ(doc.GetElementTextView(), "a<&");
    doc.ResetPosition();
    EXPECT_TRUE(doc.GetAttributeView("a").empty());
    EXPECT_TRUE(doc.GetChildTextView().empty());
}

// Every attribute in the order of the start tag, repeated names too, past
// the per-thread list's capacity as well.
TEST(Navigation, AttributesByPosition) {
    std::string text = "<m a='1' b c=\"&lt;\" a='2'";
    for (int i = 0; i < 40; ++i) {
        text += " n" + std::to_string(i) + "='" + std::to_string(i) + "'";
    }
    CXmlDocument doc(text + "/>");
    std::string_view name;
    std::string_view value;
    EXPECT_FALSE(doc.GetAttributeAt(0, &name, &value));
    ASSERT_TRUE(doc.FindElement("m"));
    std::string seen;
    for (int32_t i = 0; i < 5; ++i) {
        ASSERT_TRUE(doc.GetAttributeAt(i, &name, &value));
        seen += std::string(name) + "=" + std::string(value) + ";";
    }
    EXPECT_EQ(seen, "a=1;b=b;c=<;a=2;n0=0;");
    ASSERT_TRUE(doc.GetAttributeAt(43, &name, &value));
    EXPECT_EQ(name, "n39");
    EXPECT_EQ(value, "39");
    EXPECT_FALSE(doc.GetAttributeAt(44, &name, &value));
    EXPECT_FALSE(doc.GetAttributeAt(-1, &name, &value));
    // The attributes past the capacity, listed once for the tag, follow an
    // edit of it.
    ASSERT_TRUE(doc.SetAttribute("n39", "changed"));
    ASSERT_TRUE(doc.GetAttributeAt(43, &name, &value));
    EXPECT_EQ(value, "changed");
}

// A tag's attributes far past the ones listed up front, read in order, each
// one found (the listing of the whole tag is made once and reused).
TEST(Navigation, ManyAttributesReadInOrder) {
    constexpr int32_t kCount = 4000;
    std::string text = "<m";
    for (int32_t i = 0; i < kCount; ++i) {
        text += " x" + std::to_string(i) + "='1'";
    }
    CXmlDocument doc(text + "/>");
    ASSERT_TRUE(doc.FindElement("m"));
    std::string_view name;
    std::string_view value;
    int32_t read = 0;
    while (doc.GetAttributeAt(read, &name, &value)) {
        ++read;
    }
    EXPECT_EQ(read, kCount);
    EXPECT_EQ(name, "x3999");
}

// Reading attributes keeps a per-thread list of the last element's
// attributes; no edit, new text or other document may ever be answered from
// a stale list.
TEST(Navigation, AttributeReadsFollowEditsNewTextsAndOtherDocuments) {
    CXmlDocument first("<r><e a=\"1\" b=\"2\"/></r>");
    ASSERT_TRUE(first.FindElement("r"));
    ASSERT_TRUE(first.IntoElement());
    ASSERT_TRUE(first.FindElement("e"));
    EXPECT_EQ(first.GetAttribute("b"), "2");
    // Two edits that leave the start tag as long as it was, but move "b".
    ASSERT_TRUE(first.SetAttribute("a", "11"));
    ASSERT_TRUE(first.SetAttribute("b", ""));
    EXPECT_EQ(first.GetAttribute("b"), "");
    EXPECT_EQ(first.GetAttribute("a"), "11");

    // Another document with the same shape but other values.
    CXmlDocument second("<r><e a=\"9\" b=\"8\"/></r>");
    ASSERT_TRUE(second.FindElement("r"));
    ASSERT_TRUE(second.IntoElement());
    ASSERT_TRUE(second.FindElement("e"));
    EXPECT_EQ(second.GetAttribute("a"), "9");
    EXPECT_EQ(first.GetAttribute("a"), "11");

    // A new text of the same length in the same document.
    second.SetDocText("<r><e a=\"7\" b=\"6\"/></r>");
    ASSERT_TRUE(second.FindElement("r"));
    ASSERT_TRUE(second.IntoElement());
    ASSERT_TRUE(second.FindElement("e"));
    EXPECT_EQ(second.GetAttribute("a"), "7");

    // Repeated names: the first wins, past the list's capacity too.
    std::string many = "<m";
    for (int i = 0; i < 40; ++i) {
        many += " n" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    }
    many += " n5=\"late\" n39=\"late\"/>";
    CXmlDocument wide(many);
    ASSERT_TRUE(wide.FindElement("m"));
    EXPECT_EQ(wide.GetAttribute("n5"), "5");
    EXPECT_EQ(wide.GetAttribute("n39"), "39");
    EXPECT_EQ(wide.GetAttribute("n40"), "");
}

}  // namespace
