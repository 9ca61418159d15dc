#include <cstring>
#include <vector>

#include "markup/lexer.h"
#include "markup/markup.h"
#include "markup/saved_positions.h"
#include "markup/single_byte.h"
#include "markup/tag_reader.h"
#include "platform/ansi.h"

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

// One run of ParseElements: receives the lexer's tokens and builds the
// index. Text, whitespace, comments, CDATA sections, processing instructions
// and document type declarations are passed over.
class ElementParser {
  public:
    ElementParser(CXmlDocument& doc, int32_t parent, const char* text)
        : doc_(doc),
          index_(*doc.elementIndex),
          text_(text),
          ignoreCase_((doc.flags & kDocIgnoreCase) != 0),
          parent_(parent),
          open_(parent),
          baseLevel_(Entry(parent).Level()) {
        names_.reserve(7);
    }

    // Reads tokens from offset 0 to the end of the text; returns the first
    // element created, 0 if none.
    template <class Text>
    int32_t Run(const Text& in) {
        int32_t p = 0;
        while (!in.AtEnd(p)) {
            p = lexer::LexToken(in, p, errors_, *this);
        }
        CloseUnended(0, in.Clip(p));
        AppendErrors();
        return first_;
    }

    void CharData(TokenKind, int32_t, int32_t) {}

    void StartTag(int32_t start, int32_t next, const lexer::MarkupContext& cx) {
        const int32_t length = next - start;
        if (static_cast<uint32_t>(length) > kMaxStartTagLength) {
            // Does not fit the start-tag length field: not an element.
            MarkError();
            AddReportEntry(doc_.resultReport, "tag_too_long", "start_tag", kReportValueType, start);
            return;
        }
        if (doc_.entryCount >= index_.Capacity()) {
            doc_.ReserveEntries(0);
        }
        const int32_t e = doc_.entryCount++;
        if (first_ == 0) {
            first_ = e;
        }
        ElementEntry& entry = Entry(e);
        ElementEntry& container = Entry(open_);
        uint32_t flags = 0;
        entry.parent = open_;
        entry.nextSibling = 0;
        if (container.firstChild == 0) {
            container.firstChild = e;
            entry.prevSibling = e;
            flags = kEntryFirstChild;
        } else {
            ElementEntry& firstChild = Entry(container.firstChild);
            const int32_t last = firstChild.prevSibling;
            Entry(last).nextSibling = e;
            entry.prevSibling = last;
            firstChild.prevSibling = e;
        }
        int32_t level = baseLevel_ + static_cast<int32_t>(names_.size());
        if (level > static_cast<int32_t>(kMaxLevel)) {
            // Deeper than the level field holds: keep the element at the
            // deepest level and report the document once.
            level = static_cast<int32_t>(kMaxLevel);
            if (!deepReported_) {
                deepReported_ = true;
                MarkError();
                AddReportEntry(doc_.resultReport, "nesting_too_deep", nullptr, 0, start);
            }
        }
        entry.flags = flags | static_cast<uint32_t>(level);
        entry.firstChild = 0;
        entry.start = start;
        entry.tagLengths = static_cast<uint32_t>(length);
        entry.length = length;
        if (!cx.empty) {
            open_ = e;
            names_.push_back(OpenName{cx.name.start, cx.name.last - cx.name.start + 1});
        }
    }

    void EndTag(int32_t start, int32_t next, const lexer::MarkupContext& cx) {
        const int32_t length = next - start;
        if (static_cast<uint32_t>(length) > kMaxEndTagLength) {
            // Does not fit the end-tag length field: it closes nothing.
            MarkError();
            AddReportEntry(doc_.resultReport, "tag_too_long", "end_tag", kReportValueType, start);
            return;
        }
        const int32_t nameStart = cx.name.start;
        const int32_t nameLength = cx.name.last - nameStart + 1;
        size_t matched = 0;
        int32_t m = open_;
        if (!names_.empty() && !ignoreCase_ && names_.back().length == nameLength &&
            std::memcmp(text_ + names_.back().start, text_ + nameStart,
                        static_cast<size_t>(nameLength)) == 0) {
            // The usual case: the end tag closes the innermost element, byte for byte.
            matched = names_.size();
        }
        for (size_t i = names_.size(); i > 0 && matched == 0; --i) {
            const OpenName& name = names_[i - 1];
            if (MatchNameSpan(text_, nameStart, cx.name.last, text_ + name.start, name.length,
                              ignoreCase_ ? kDocIgnoreCase : 0)) {
                matched = i;
                break;
            }
            m = Entry(m).parent;
        }
        if (matched == 0) {
            MarkError();
            AddReportEntry(doc_.resultReport, "lone_end_tag",
                           std::string(text_ + nameStart, static_cast<size_t>(nameLength)).c_str(),
                           0, start);
            return;
        }
        ElementEntry& element = Entry(m);
        element.length = next - element.start;
        element.SetTagLengths(static_cast<uint32_t>(element.StartTagLength()),
                              static_cast<uint32_t>(length));
        if (matched < names_.size()) {
            CloseUnended(matched, start + 1);
        }
        open_ = Entry(m).parent;
        names_.pop_back();
    }

    void Markup(TokenKind kind, int32_t, int32_t, const lexer::MarkupContext&) {
        // An Error token, or an error inside a document type declaration.
        if (kind == TokenKind::Error || errors_.size() > appended_) {
            MarkError();
            AppendErrors();
        }
    }

  private:
    // An open element's name, kept as a place in the document text (the
    // text does not change during a parse), so opening an element
    // allocates nothing.
    struct OpenName {
        int32_t start;
        int32_t length;
    };

    ElementEntry& Entry(int32_t i) { return index_.Entry(i); }

    void MarkError() {
        Entry(parent_).flags |= kEntryIllFormed;
        Entry(open_).flags |= kEntryErrorInside;
    }

    // Appends the tokenizer's entries not yet in the report; they stop with
    // the report's limit.
    void AppendErrors() {
        if (errors_.size() > appended_ && doc_.resultReport.size() < kReportLimit) {
            doc_.resultReport.append(errors_, appended_, std::string::npos);
        }
        appended_ = errors_.size();
    }

    // Closes the open elements above the `matched` outermost ones as
    // unended: each becomes an element without content and its children
    // become its following siblings.
    void CloseUnended(size_t matched, int32_t closingOffset) {
        if (names_.size() > matched) {
            Entry(parent_).flags |= kEntryIllFormed;
        }
        while (names_.size() > matched) {
            const int32_t u = open_;
            ElementEntry& unended = Entry(u);
            const int32_t child = unended.firstChild;
            const int32_t up = unended.parent;
            unended.SetTagLengths(static_cast<uint32_t>(unended.StartTagLength()), 0);
            unended.flags |= kEntryUnended;
            unended.firstChild = 0;
            unended.length = unended.StartTagLength();
            if (unended.flags & kEntryErrorInside) {
                unended.flags &= ~kEntryErrorInside;
                Entry(up).flags |= kEntryErrorInside;
            }
            if (child != 0) {
                // u is the last child of `up`; its children follow it there.
                const int32_t lastMoved = Entry(child).prevSibling;
                for (int32_t x = child; x != 0; x = Entry(x).nextSibling) {
                    Entry(x).parent = up;
                }
                Entry(child).flags &= ~kEntryFirstChild;
                Entry(u).nextSibling = child;
                Entry(child).prevSibling = u;
                Entry(Entry(up).firstChild).prevSibling = lastMoved;
            }
            const OpenName& name = names_.back();
            AddReportEntry(
                doc_.resultReport, "unended_start_tag",
                std::string(text_ + name.start, static_cast<size_t>(name.length)).c_str(), 0,
                Entry(u).start, closingOffset);
            open_ = up;
            names_.pop_back();
        }
    }

    CXmlDocument& doc_;
    ElementIndex& index_;
    const char* const text_;
    const bool ignoreCase_;
    const int32_t parent_;
    int32_t open_;  // the innermost open element, to which new elements are appended
    const int32_t baseLevel_;
    int32_t first_ = 0;
    bool deepReported_ = false;
    std::vector<OpenName> names_;
    std::string errors_;   // the tokenizer's entries of this run
    size_t appended_ = 0;  // how much of errors_ has gone to the report
};

int32_t CXmlDocument::ParseElements(int32_t parent, MarkupScanner& scanner) {
    scanner.pos = 0;
    ElementParser parser(*this, parent, scanner.text);
    // A text that ends with its zero byte at `end` is read without bounds checks.
    if (AnsiCharsAreSingleByte() && scanner.text[scanner.end] == '\0') {
        return parser.Run(lexer::ByteText{scanner.text, scanner.end});
    }
    return parser.Run(lexer::CharText{scanner.text, scanner.end, platform::AnsiCharLengths()});
}
