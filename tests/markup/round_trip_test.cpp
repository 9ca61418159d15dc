#include <gtest/gtest.h>

#include <string>

#include "markup/document_inside.h"
#include "markup/markup.h"

namespace {

constexpr int kGroups = 1000;
constexpr int kItemsPerGroup = 99;  // 1 + 1000 + 99,000 = 100,001 elements

std::string ItemText(int g, int i) {
    return "v" + std::to_string(g) + "<&>" + std::to_string(i);
}

std::string GenerateDocument() {
    std::string text = "<?xml version=\"1.0\"?>\n<doc>\n";
    for (int g = 0; g < kGroups; ++g) {
        text += " <group id=\"" + std::to_string(g) + "\">";
        for (int i = 0; i < kItemsPerGroup; ++i) {
            text += "<item n='" + std::to_string(i) + "' q=\"&quot;" + std::to_string(g) + "\">";
            if (i % 3 == 0) {
                text += "<![CDATA[" + ItemText(g, i) + "]]>";
            } else {
                text += EscapeValue(ItemText(g, i), 0);
            }
            text += "</item>";
        }
        text += "</group>\n";
    }
    text += "</doc>\n";
    return text;
}

TEST(RoundTrip, ParseThenWalkOneHundredThousandElements) {
    const std::string text = GenerateDocument();
    CXmlDocument doc(text);
    ASSERT_TRUE(doc.CheckWellFormed()) << doc.GetResultReport();
    ASSERT_EQ(DocumentInside::EntryCount(doc), 1 + 1 + kGroups + kGroups * kItemsPerGroup);
    EXPECT_GE(DocumentInside::IndexCapacity(doc), DocumentInside::EntryCount(doc));

    ASSERT_TRUE(doc.FindElement("doc"));
    ASSERT_TRUE(doc.IntoElement());
    int groups = 0;
    int items = 0;
    while (doc.FindElement("group")) {
        ASSERT_EQ(doc.GetAttribute("id"), std::to_string(groups));
        const int32_t group = doc.GetMainPos();
        ASSERT_TRUE(doc.IntoElement());
        int i = 0;
        while (doc.FindElement("item")) {
            ASSERT_EQ(doc.GetAttribute("n"), std::to_string(i));
            ASSERT_EQ(doc.GetAttribute("q"), "\"" + std::to_string(groups));
            ASSERT_EQ(doc.GetElementText(), ItemText(groups, i));
            ++i;
        }
        ASSERT_EQ(i, kItemsPerGroup);
        items += i;
        ASSERT_TRUE(doc.OutOfElement());
        ASSERT_EQ(doc.GetMainPos(), group);
        ++groups;
    }
    EXPECT_EQ(groups, kGroups);
    EXPECT_EQ(items, kGroups * kItemsPerGroup);

    // The element that crosses into the second page of the index reads back.
    const ElementEntry& e = DocumentInside::Entry(doc, 65536);
    EXPECT_EQ(text.compare(static_cast<size_t>(e.start), 6, "<item "), 0);
    EXPECT_EQ(text.compare(static_cast<size_t>(e.start + e.length - 7), 7, "</item>"), 0);
}

}  // namespace
