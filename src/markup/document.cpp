#include <new>

#include "markup/document_inside.h"
#include "markup/markup.h"
#include "markup/result_report.h"
#include "markup/saved_positions.h"

namespace {
const char kLabelTop[] = "top of document";
const char kLabelParent[] = "parent position element";
const char kLabelMain[] = "main position element";
const char kLabelChild[] = "child position element";
}  // namespace

CXmlDocument::CXmlDocument() {
    Construct(nullptr);
}

CXmlDocument::CXmlDocument(const char* text) {
    Construct(text);
}

CXmlDocument::CXmlDocument(const std::string& text) {
    Construct(nullptr);
    SetDocText(text);
}

CXmlDocument::~CXmlDocument() = default;

void CXmlDocument::Construct(const char* text) {
    positionLabel = kLabelTop;
    positionPointer = nullptr;
    parentPos = 0;
    mainPos = 0;
    childPos = 0;
    entryCount = 0;
    freeEntry = 0;
    mainNodeType = 0;
    flags = 0;
    neverUsed = NeverUsed();
    savedPositions = std::make_unique<SavedPositionTable>();
    elementIndex = std::make_unique<ElementIndex>();
    SetDocText(text);
}

bool CXmlDocument::SetDocText(const char* text) {
    if (flags & (kDocReadingFile | kDocWritingFile)) {
        return false;
    }
    try {
        if (text != nullptr) {
            docText = text;
        } else {
            docText.clear();
            elementIndex->Clear();
        }
        resultReport.clear();
        return ParseDocument();
    } catch (const std::bad_alloc&) {
        return AfterAllocationFailure();
    }
}

bool CXmlDocument::SetDocText(const std::string& text) {
    if (flags & (kDocReadingFile | kDocWritingFile)) {
        return false;
    }
    try {
        docText = text;
        resultReport.clear();
        return ParseDocument();
    } catch (const std::bad_alloc&) {
        return AfterAllocationFailure();
    }
}

bool CXmlDocument::AfterAllocationFailure() {
    // Give back the text, keep the index pages already held (so that no
    // allocation is needed here), and leave an empty document whose root
    // entry says it is not well-formed.
    std::string().swap(docText);
    savedPositions->positions.clear();
    elementIndex->Trim();
    NewTextVersion();
    if (elementIndex->Capacity() == 0) {
        // Only after SetDocText(null) freed the index: one entry is all the
        // empty document needs, and the freed pages make room for it.
        try {
            elementIndex->Grow(1);
        } catch (const std::bad_alloc&) {
        }
    }
    entryCount = 0;
    freeEntry = 0;
    if (elementIndex->Capacity() > 0) {
        entryCount = 1;
        GetEntry(0) = ElementEntry{};
        GetEntry(0).flags = kEntryIllFormed;
    }
    SetPositions(0, 0, 0);
    outcome = XmlOutcome{XmlStatus::kOutOfMemory};
    problems.clear();
    try {
        AddReportEntry(resultReport, "out_of_memory", nullptr, 0);
    } catch (const std::bad_alloc&) {
        // The report keeps what it had; the false answer still tells.
    }
    return false;
}

bool CXmlDocument::ReserveEntries(int32_t n) {
    if (n == 0) {
        n = entryCount + entryCount / 2;
        if (n <= entryCount) {
            n = entryCount + 1;  // a tiny index still gains a slot
        }
    }
    elementIndex->Grow(n);
    return true;
}

void CXmlDocument::NoteProblem(XmlStatus status, int32_t offset, int32_t offset2) {
    const XmlOutcome problem{status, offset, offset2, 0};
    if (outcome.status == XmlStatus::kWellFormed) {
        outcome = problem;
    }
    if (problems.size() < static_cast<size_t>(kMaxListedProblems)) {
        problems.push_back(problem);
    }
}

int32_t CXmlDocument::NewEntry() {
    if (entryCount >= elementIndex->Capacity()) {
        ReserveEntries(0);
    }
    return entryCount++;
}

void CXmlDocument::SetPositions(int32_t parent, int32_t main, int32_t child) {
    parentPos = parent;
    mainPos = main;
    childPos = child;
    mainNodeType = main != 0 ? 1 : 0;
    RefreshPositionView();
}

void CXmlDocument::RefreshPositionView() {
    if (childPos != 0) {
        positionLabel = kLabelChild;
        positionPointer = docText.c_str() + GetEntry(childPos).start;
    } else if (mainPos != 0) {
        positionLabel = kLabelMain;
        positionPointer = docText.c_str() + GetEntry(mainPos).start;
    } else if (parentPos != 0) {
        positionLabel = kLabelParent;
        positionPointer = docText.c_str() + GetEntry(parentPos).start;
    } else {
        positionLabel = kLabelTop;
        positionPointer = docText.c_str();
    }
}

void CXmlDocument::ResetPosition() {
    SetPositions(0, 0, 0);
}

void CXmlDocument::ResetMainPosition() {
    SetPositions(parentPos, 0, 0);
}
