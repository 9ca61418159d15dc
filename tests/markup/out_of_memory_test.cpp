// The engine under exhausted memory: every allocation of a parse and of a
// file load is failed in turn; each failure must give the defined outcome
// (an empty document that is not well-formed, with an "out_of_memory" report
// entry) and leave a document that navigates safely and parses again.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "../support/failing_allocator.h"
#include "../support/temp_folder.h"
#include "markup/document_inside.h"
#include "markup/markup.h"

namespace {

using testing_support::FailingAllocations;
using testing_support::ForEachFailingAllocation;

const char kText[] =
    "<?xml version=\"1.0\"?><!-- c --><train a='&lt;&#x41;' b=\"x\"><time>2026-12-08 "
    "10:00:00</time><vagen id=\"1\"><serial>S&amp;1</serial></vagen><vagen/><![CDATA[<>]]>"
    "<a><b><c><d>deep</d></c></b></a></train>";

void ExpectEmptyIllFormed(CXmlDocument& doc) {
    EXPECT_NE(doc.GetResultReport().find("<out_of_memory/>"), std::string::npos)
        << doc.GetResultReport();
    EXPECT_TRUE(doc.GetDocText().empty());
    EXPECT_FALSE(doc.CheckWellFormed());
    EXPECT_EQ(doc.GetOutcome().status, XmlStatus::kOutOfMemory);
    EXPECT_TRUE(doc.GetProblems().empty());
    doc.ResetPosition();
    EXPECT_FALSE(doc.FindElement("train"));
    EXPECT_FALSE(doc.IntoElement());
    EXPECT_EQ(doc.GetElementText(), "");
}

// Whatever failed, the document parses the text again afterwards.
void ExpectParsesAgain(CXmlDocument& doc, const CXmlDocument& reference) {
    EXPECT_TRUE(doc.SetDocText(kText));
    EXPECT_EQ(DocumentInside::EntryCount(doc), DocumentInside::EntryCount(reference));
    doc.ResetPosition();
    ASSERT_TRUE(doc.FindElement("train"));
    EXPECT_EQ(doc.GetAttribute("a"), "<A");
}

// A failed allocation either has a fallback (the result is the right one) or
// gives the defined empty document; either way the document parses again.
void ExpectOutcome(CXmlDocument& doc, const CXmlDocument& reference, bool ok, bool failed,
                   long failAt) {
    SCOPED_TRACE("allocation " + std::to_string(failAt));
    if (ok) {
        EXPECT_EQ(DocumentInside::EntryCount(doc), DocumentInside::EntryCount(reference));
        EXPECT_EQ(doc.GetDocText(), reference.GetDocText());
    } else {
        EXPECT_TRUE(failed);
        ExpectEmptyIllFormed(doc);
    }
    ExpectParsesAgain(doc, reference);
}

TEST(OutOfMemory, EveryFailedAllocationOfAParseGivesAnEmptyIllFormedDocument) {
    const CXmlDocument reference(kText);
    ASSERT_TRUE(reference.CheckWellFormed());
    const std::string text = kText;
    for (int form = 0; form < 2; ++form) {
        const long failures = ForEachFailingAllocation([&](long failAt) {
            CXmlDocument doc;
            bool ok = false;
            bool failed = false;
            {
                FailingAllocations guard(failAt);
                ok = form == 0 ? doc.SetDocText(kText) : doc.SetDocText(text);
                failed = guard.Failed();
            }
            ExpectOutcome(doc, reference, ok, failed, failAt);
            return failed;
        });
        EXPECT_GT(failures, 0);
    }
}

TEST(OutOfMemory, EveryFailedAllocationOfAFileLoadGivesAnEmptyIllFormedDocument) {
    testing_support::TempFolder folder;
    const std::string path = folder.WithSeparator() + "utf16.xml";
    {
        // UTF-16LE with a mark, so that the load converts.
        std::ofstream out(path, std::ios::binary);
        out << '\xFF' << '\xFE';
        for (const char* p = kText; *p != '\0'; ++p) {
            out << *p << '\0';
        }
    }
    const CXmlDocument reference(kText);
    const long failures = ForEachFailingAllocation([&](long failAt) {
        CXmlDocument doc;
        bool ok = false;
        bool failed = false;
        {
            FailingAllocations guard(failAt);
            ok = doc.LoadFile(path.c_str());
            failed = guard.Failed();
        }
        EXPECT_EQ(doc.GetFlags() & (kDocReadingFile | kDocWritingFile), 0u);
        ExpectOutcome(doc, reference, ok, failed, failAt);
        return failed;
    });
    EXPECT_GT(failures, 0);
}

}  // namespace
