// CXmlDocument::LoadFile: a document filled from a file on disk.
#include "markup/markup.h"
#include "markup/text_file.h"

bool CXmlDocument::LoadFile(const char* path) {
    if ((flags & (kDocReadingFile | kDocWritingFile)) != 0) {
        return false;
    }
    if (!LoadTextFromFile(path, docText, &resultReport, &flags, nullptr)) {
        // The index must describe the text: the failed load leaves an empty
        // document (parsing an empty text records nothing).
        docText.clear();
        ParseDocument();
        return false;
    }
    return ParseDocument();
}
