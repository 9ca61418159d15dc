#include <cstring>
#include <vector>

#include "markup/markup.h"
#include "markup/saved_positions.h"
#include "markup/single_byte.h"
#include "markup/tag_reader.h"

namespace {

// An open element's name, kept as a place in the document text (the text
// does not change during a parse), so opening an element allocates nothing.
struct OpenName {
    int32_t start;
    int32_t length;
};

}  // namespace

bool CXmlDocument::ParseDocument() {
    NewTextVersion();
    SetPositions(0, 0, 0);
    savedPositions->positions.clear();
    const int32_t n = static_cast<int32_t>(docText.size());
    entryCount = 1;
    ReserveEntries(n / 64 + 8);
    freeEntry = 0;
    GetEntry(0) = ElementEntry{};
    if (n != 0) {
        MarkupScanner scanner(docText.c_str(), flags, n);
        const int32_t first = ParseElements(0, scanner);
        GetEntry(0).length = n;
        if (first == 0) {
            AddReportEntry(resultReport, "no_root_element", nullptr, 0);
        } else {
            GetEntry(0).firstChild = first;
            if (GetEntry(first).nextSibling != 0) {
                AddReportEntry(resultReport, "root_has_sibling", nullptr, 0);
            }
        }
    }
    SetPositions(0, 0, 0);
    return CheckWellFormed();
}

bool CXmlDocument::CheckWellFormed() const {
    if (flags & kDocWritingFile) {
        return true;
    }
    if (flags & kDocReadingFile) {
        return (GetEntry(0).flags & kEntryIllFormed) == 0;
    }
    if (elementIndex->Capacity() == 0) {
        return false;
    }
    const ElementEntry& root = GetEntry(0);
    return (root.flags & kEntryIllFormed) == 0 && root.firstChild != 0 &&
           GetEntry(root.firstChild).nextSibling == 0;
}

void CXmlDocument::AppendTokenErrors(const MarkupToken& token, size_t* appended) {
    if (token.errors.size() > *appended && resultReport.size() < kReportLimit) {
        resultReport.append(token.errors, *appended, std::string::npos);
    }
    *appended = token.errors.size();
}

int32_t CXmlDocument::ParseElements(int32_t parent, MarkupScanner& scanner) {
    const char* const text = scanner.text;
    const bool ignoreCase = (flags & kDocIgnoreCase) != 0;
    const int32_t baseLevel = GetEntry(parent).Level();
    int32_t open = parent;
    int32_t first = 0;
    bool deepReported = false;
    std::vector<OpenName> names;
    names.reserve(7);
    MarkupToken token;
    size_t errorsAppended = 0;

    auto markError = [&]() {
        GetEntry(parent).flags |= kEntryIllFormed;
        GetEntry(open).flags |= kEntryErrorInside;
    };
    // Closes the open elements above the `matched` innermost-but-kept ones
    // as unended: each becomes an element without content and its children
    // become its following siblings.
    auto closeUnended = [&](size_t matched, int32_t closingOffset) {
        if (names.size() > matched) {
            GetEntry(parent).flags |= kEntryIllFormed;
        }
        while (names.size() > matched) {
            const int32_t u = open;
            ElementEntry& unended = GetEntry(u);
            const int32_t child = unended.firstChild;
            const int32_t up = unended.parent;
            unended.SetTagLengths(static_cast<uint32_t>(unended.StartTagLength()), 0);
            unended.flags |= kEntryUnended;
            unended.firstChild = 0;
            unended.length = unended.StartTagLength();
            if (unended.flags & kEntryErrorInside) {
                unended.flags &= ~kEntryErrorInside;
                GetEntry(up).flags |= kEntryErrorInside;
            }
            if (child != 0) {
                // u is the last child of `up`; its children follow it there.
                const int32_t lastMoved = GetEntry(child).prevSibling;
                for (int32_t x = child; x != 0; x = GetEntry(x).nextSibling) {
                    GetEntry(x).parent = up;
                }
                GetEntry(child).flags &= ~kEntryFirstChild;
                GetEntry(u).nextSibling = child;
                GetEntry(child).prevSibling = u;
                GetEntry(GetEntry(up).firstChild).prevSibling = lastMoved;
            }
            const OpenName& name = names.back();
            AddReportEntry(resultReport, "unended_start_tag",
                           std::string(text + name.start, static_cast<size_t>(name.length)).c_str(),
                           0, GetEntry(u).start, closingOffset);
            open = up;
            names.pop_back();
        }
    };

    scanner.pos = 0;
    const bool singleByte = AnsiCharsAreSingleByte();
    for (;;) {
        TokenKind kind;
        if (!singleByte || !ScanSimpleToken(scanner, token, &kind)) {
            kind = ScanToken(scanner, token);
        }
        switch (kind) {
            case TokenKind::StartTag: {
                if (static_cast<uint32_t>(token.length) > kMaxStartTagLength) {
                    // Does not fit the start-tag length field: not an element.
                    markError();
                    AddReportEntry(resultReport, "tag_too_long", "start_tag", kReportValueType,
                                   token.start);
                    break;
                }
                const int32_t e = entryCount < elementIndex->Capacity() ? entryCount++ : NewEntry();
                if (first == 0) {
                    first = e;
                }
                ElementEntry& entry = GetEntry(e);
                ElementEntry& container = GetEntry(open);
                entry.parent = open;
                entry.nextSibling = 0;
                if (container.firstChild == 0) {
                    container.firstChild = e;
                    entry.prevSibling = e;
                    entry.flags = kEntryFirstChild;
                } else {
                    ElementEntry& firstChild = GetEntry(container.firstChild);
                    const int32_t last = firstChild.prevSibling;
                    GetEntry(last).nextSibling = e;
                    entry.prevSibling = last;
                    firstChild.prevSibling = e;
                    entry.flags = 0;
                }
                int32_t level = baseLevel + static_cast<int32_t>(names.size());
                if (level > static_cast<int32_t>(kMaxLevel)) {
                    // Deeper than the level field holds: keep the element at
                    // the deepest level and report the document once.
                    level = static_cast<int32_t>(kMaxLevel);
                    if (!deepReported) {
                        deepReported = true;
                        markError();
                        AddReportEntry(resultReport, "nesting_too_deep", nullptr, 0, token.start);
                    }
                }
                entry.flags |= static_cast<uint32_t>(level);
                entry.firstChild = 0;
                entry.start = token.start;
                entry.SetTagLengths(static_cast<uint32_t>(token.length), 0);
                entry.length = token.length;
                if ((token.flags & kTokenEmptyElement) == 0) {
                    open = e;
                    names.push_back(
                        OpenName{scanner.nameStart, scanner.nameEnd - scanner.nameStart + 1});
                }
                break;
            }
            case TokenKind::EndTag: {
                if (static_cast<uint32_t>(token.length) > kMaxEndTagLength) {
                    // Does not fit the end-tag length field: it closes nothing.
                    markError();
                    AddReportEntry(resultReport, "tag_too_long", "end_tag", kReportValueType,
                                   token.start);
                    break;
                }
                size_t matched = 0;
                int32_t m = open;
                const int32_t closingLength = scanner.nameEnd - scanner.nameStart + 1;
                if (!names.empty() && names.back().length == closingLength && !ignoreCase &&
                    std::memcmp(text + names.back().start, text + scanner.nameStart,
                                static_cast<size_t>(closingLength)) == 0) {
                    // The usual case: the end tag closes the innermost element,
                    // byte for byte.
                    matched = names.size();
                }
                for (size_t i = names.size(); i > 0 && matched == 0; --i) {
                    const OpenName& name = names[i - 1];
                    if (MatchNameSpan(text, scanner.nameStart, scanner.nameEnd, text + name.start,
                                      name.length, ignoreCase ? kDocIgnoreCase : 0)) {
                        matched = i;
                        break;
                    }
                    m = GetEntry(m).parent;
                }
                if (matched == 0) {
                    markError();
                    const int32_t nameLength = scanner.nameEnd - scanner.nameStart + 1;
                    AddReportEntry(resultReport, "lone_end_tag",
                                   std::string(text + scanner.nameStart,
                                               static_cast<size_t>(nameLength > 0 ? nameLength : 0))
                                       .c_str(),
                                   0, token.start);
                    break;
                }
                ElementEntry& element = GetEntry(m);
                element.length = token.start + token.length - element.start;
                element.SetTagLengths(static_cast<uint32_t>(element.StartTagLength()),
                                      static_cast<uint32_t>(token.length));
                if (matched < names.size()) {
                    closeUnended(matched, token.start + 1);
                }
                open = GetEntry(m).parent;
                names.pop_back();
                break;
            }
            case TokenKind::Error:
                markError();
                AppendTokenErrors(token, &errorsAppended);
                break;
            case TokenKind::EndOfText:
                closeUnended(0, scanner.pos);
                AppendTokenErrors(token, &errorsAppended);
                return first;
            default:
                if (token.errors.size() > errorsAppended) {
                    // An error inside a document type declaration.
                    markError();
                    AppendTokenErrors(token, &errorsAppended);
                }
                break;
        }
    }
}
