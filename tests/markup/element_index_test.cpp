#include "markup/element_index.h"

#include <gtest/gtest.h>

#include <string>

#include "markup/document_inside.h"
#include "markup/markup.h"

namespace {

TEST(ElementIndex, NewDocumentWithoutText) {
    CXmlDocument doc;
    EXPECT_EQ(DocumentInside::IndexCapacity(doc), 8);
    EXPECT_EQ(DocumentInside::EntryCount(doc), 1);
    const ElementEntry& root = DocumentInside::Entry(doc, 0);
    EXPECT_EQ(root.start, 0);
    EXPECT_EQ(root.length, 0);
    EXPECT_EQ(root.tagLengths, 0u);
    EXPECT_EQ(root.flags, 0u);
    EXPECT_EQ(root.parent, 0);
    EXPECT_EQ(root.firstChild, 0);
    EXPECT_EQ(root.nextSibling, 0);
    EXPECT_EQ(root.prevSibling, 0);
    EXPECT_STREQ(doc.GetPositionLabel(), "top of document");
    EXPECT_FALSE(doc.CheckWellFormed());
}

TEST(ElementIndex, ReservationGrowsByHalfWhenFull) {
    // 100 bytes reserve 100 / 64 + 8 = 9 entries; the 9th element grows the
    // index to 9 + 9 / 2 = 13.
    std::string text = "<r>";
    for (int i = 0; i < 8; ++i) {
        text += "<e/>";
    }
    text += "</r>";
    text.append(100 - text.size(), ' ');
    CXmlDocument doc(text);
    EXPECT_EQ(DocumentInside::EntryCount(doc), 10);
    EXPECT_EQ(DocumentInside::IndexCapacity(doc), 13);
}

TEST(ElementIndex, GrowsAtMostOnePagePerStep) {
    ElementIndex index;
    index.Grow(200000);
    EXPECT_EQ(index.Capacity(), 131072);
    index.Grow(200000);
    EXPECT_EQ(index.Capacity(), 196608);
    index.Grow(200000);
    EXPECT_EQ(index.Capacity(), 200000);
    EXPECT_GE(index.BlockSlots(), 4);
    index.Grow(10);
    EXPECT_EQ(index.Capacity(), 200000);
    index.Clear();
    EXPECT_EQ(index.Capacity(), 0);
    EXPECT_EQ(index.BlockSlots(), 0);
}

TEST(ElementIndex, EntriesSurviveGrowthAcrossBlocksAndPages) {
    // Without and with the room a parse asks for; Trim gives the room back
    // and keeps capacity and entries.
    for (const int32_t hint : {0, 1000, ElementIndex::kBlockEntries}) {
        ElementIndex index;
        index.SetRoomHint(hint);
        index.Grow(100);
        for (int32_t i = 0; i < 100; ++i) {
            index.Entry(i).start = i;
        }
        int32_t capacity = 100;
        for (int32_t i = 100; i < 140000; ++i) {
            if (i == capacity) {
                index.Grow(capacity + capacity / 2);
                capacity = index.Capacity();
                ASSERT_GT(capacity, i);
            }
            index.Entry(i).start = i;
        }
        index.Trim();
        EXPECT_EQ(index.Capacity(), capacity);
        for (int32_t i = 0; i < 140000; ++i) {
            ASSERT_EQ(index.Entry(i).start, i);
        }
        // Entries 2,047 and 2,048 lie in different blocks; 2,046 and 2,047 side by side.
        EXPECT_NE(&index.Entry(2047) + 1, &index.Entry(2048));
        EXPECT_EQ(&index.Entry(2046) + 1, &index.Entry(2047));
    }
}

TEST(ElementIndex, FullPagesNeverMove) {
    ElementIndex index;
    index.Grow(65536);
    ElementEntry* first = &index.Entry(0);
    index.Grow(70000);
    index.Grow(140000);
    EXPECT_EQ(first, &index.Entry(0));
}

TEST(ElementIndex, TextOfNullFreesThePagesButEmptyTextKeepsThem) {
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        text += "<e/>";
    }
    CXmlDocument doc(text);
    EXPECT_GT(DocumentInside::IndexCapacity(doc), 1000);
    doc.SetDocText("");
    EXPECT_GT(DocumentInside::IndexCapacity(doc), 1000);
    doc.SetDocText(static_cast<const char*>(nullptr));
    EXPECT_EQ(DocumentInside::IndexCapacity(doc), 8);
}

TEST(ElementIndex, BitFieldAccessors) {
    ElementEntry entry{};
    entry.SetTagLengths(kMaxStartTagLength, kMaxEndTagLength);
    EXPECT_EQ(entry.StartTagLength(), 4194303);
    EXPECT_EQ(entry.EndTagLength(), 1023);
    entry.flags = kEntryFirstChild | 7;
    EXPECT_EQ(entry.Level(), 7);
}

TEST(Positions, LabelsFollowTheDeepestPosition) {
    CXmlDocument doc("<a><b/></a>");
    doc.SetPositions(1, 0, 0);
    EXPECT_STREQ(doc.GetPositionLabel(), "parent position element");
    doc.SetPositions(0, 1, 0);
    EXPECT_STREQ(doc.GetPositionLabel(), "main position element");
    EXPECT_EQ(doc.GetPositionPointer(), doc.GetDocText().c_str());
    doc.SetPositions(0, 1, 2);
    EXPECT_STREQ(doc.GetPositionLabel(), "child position element");
    EXPECT_EQ(doc.GetPositionPointer(), doc.GetDocText().c_str() + 3);
    doc.SetPositions(0, 0, 0);
    EXPECT_STREQ(doc.GetPositionLabel(), "top of document");
}

}  // namespace
