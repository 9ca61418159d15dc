// CXmlDocument::LoadFile: a document filled from a file on disk.
#include <new>

#include "markup/markup.h"
#include "markup/text_file.h"

bool CXmlDocument::LoadFile(const char* path) {
    if ((flags & (kDocReadingFile | kDocWritingFile)) != 0) {
        return false;
    }
    try {
        int32_t systemError = 0;
        if (!LoadTextFromFile(path, docText, &resultReport, &flags, nullptr, &systemError)) {
            // The index must describe the text: the failed load leaves an
            // empty document (parsing an empty text records nothing).
            docText.clear();
            ParseDocument();
            outcome = XmlOutcome{XmlStatus::kFileNotRead, -1, -1, systemError};
            problems.clear();
            return false;
        }
        return ParseDocument();
    } catch (const std::bad_alloc&) {
        // A file too large for memory (or its conversion): an empty document
        // that is not well-formed, with the load's report so far.
        flags &= ~(kDocReadingFile | kDocWritingFile);
        return AfterAllocationFailure();
    }
}
