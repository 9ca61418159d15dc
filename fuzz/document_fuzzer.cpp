// Any bytes as a document: parse, check that the index stays inside the text
// and its links inside the index, then walk every element reading names,
// attributes and texts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "markup/markup.h"

namespace {

void CheckIndex(const CXmlDocument& doc) {
    const int32_t count = doc.GetEntryCount();
    const int64_t textSize = static_cast<int64_t>(doc.GetDocText().size());
    FUZZ_CHECK(count >= 1 && count <= doc.GetIndexCapacity());
    for (int32_t i = 1; i < count; ++i) {
        const ElementEntry& e = doc.GetEntry(i);
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

void Walk(CXmlDocument& doc) {
    static const char* const kNames[] = {"id", "name", "a", "x", "y", "serial", "encoding"};
    doc.ResetPosition();
    // Every element is entered and left once; the bound only turns a looping
    // walk into a finding instead of a hang.
    long steps = 4L * doc.GetEntryCount() + 16;
    while (steps-- > 0) {
        if (doc.FindElement(nullptr)) {
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
    doc.SetDocText(text);
    FUZZ_CHECK(doc.GetResultReport().size() < 2 * kReportLimit);
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
