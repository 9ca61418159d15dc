// Any bytes as a document: parse, check that the index stays inside the text
// and its links inside the index, that the typed outcome agrees with the
// well-formedness answer and places its problems inside the text, then walk
// every element reading names, attributes and texts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "markup/document_inside.h"
#include "markup/markup.h"
#include "markup/result_report.h"

namespace {

void CheckIndex(const CXmlDocument& doc) {
    const int32_t count = DocumentInside::EntryCount(doc);
    const int64_t textSize = static_cast<int64_t>(doc.GetDocText().size());
    FUZZ_CHECK(count >= 1 && count <= DocumentInside::IndexCapacity(doc));
    for (int32_t i = 1; i < count; ++i) {
        const ElementEntry& e = DocumentInside::Entry(doc, i);
        if (e.flags & kEntryReleased) {
            continue;
        }
        FUZZ_CHECK(e.start >= 0 && e.length >= 0);
        FUZZ_CHECK(static_cast<int64_t>(e.start) + e.length <= textSize);
        FUZZ_CHECK(e.StartTagLength() <= e.length);
        FUZZ_CHECK(e.parent >= 0 && e.parent < count);
        FUZZ_CHECK(e.firstChild >= 0 && e.firstChild < count);
        FUZZ_CHECK(e.nextSibling >= 0 && e.nextSibling < count);
        FUZZ_CHECK(e.prevSibling >= 0 && e.prevSibling < count);
    }
}

void CheckOutcome(const CXmlDocument& doc, bool wellFormed) {
    const XmlOutcome& outcome = doc.GetOutcome();
    const int64_t size = static_cast<int64_t>(doc.GetDocText().size());
    FUZZ_CHECK((outcome.status == XmlStatus::kWellFormed) == wellFormed);
    FUZZ_CHECK(doc.GetProblems().size() <= static_cast<size_t>(kMaxListedProblems));
    FUZZ_CHECK(doc.GetProblems().empty() == wellFormed);
    if (!doc.GetProblems().empty()) {
        FUZZ_CHECK(doc.GetProblems().front().status == outcome.status);
    }
    for (const XmlOutcome& problem : doc.GetProblems()) {
        FUZZ_CHECK(problem.status != XmlStatus::kWellFormed);
        FUZZ_CHECK(problem.offset >= -1 && problem.offset < size);
        FUZZ_CHECK(problem.offset2 >= -1 && problem.offset2 <= size);
    }
}

void Walk(CXmlDocument& doc) {
    static const char* const kNames[] = {"id", "name", "a", "x", "y", "serial", "encoding"};
    doc.ResetPosition();
    // Every element is entered and left once; the bound only turns a looping
    // walk into a finding instead of a hang.
    long steps = 4L * DocumentInside::EntryCount(doc) + 16;
    while (steps-- > 0) {
        if (doc.FindElement(nullptr)) {
            const std::string_view name = doc.GetElementName();
            const int32_t offset = doc.GetElementOffset();
            const std::string& text = doc.GetDocText();
            FUZZ_CHECK(offset >= 0 && offset < static_cast<int32_t>(text.size()));
            FUZZ_CHECK(name.data() > text.data() + offset &&
                       name.data() + name.size() <= text.data() + text.size());
            for (const char* name : kNames) {
                (void)doc.GetAttribute(name);
            }
            (void)doc.GetElementText();
            if (doc.FindChildElement(nullptr)) {
                (void)doc.GetChildText();
            }
            doc.IntoElement();
            continue;
        }
        if (!doc.OutOfElement()) {
            return;
        }
    }
    FUZZ_CHECK(!"walk did not end");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    CXmlDocument doc;
    const bool wellFormed = doc.SetDocText(text);
    FUZZ_CHECK(doc.GetResultReport().size() < 2 * kReportLimit);
    CheckOutcome(doc, wellFormed);
    CheckIndex(doc);
    Walk(doc);

    // Editing must keep the index consistent too.
    doc.ResetPosition();
    if (doc.FindElement(nullptr)) {
        doc.SetAttribute("fuzz", text.substr(0, 16).c_str());
        CheckIndex(doc);
        Walk(doc);
    }
    return 0;
}
