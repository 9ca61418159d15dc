#include <algorithm>
#include <memory>

#include "markup/document_inside.h"
#include "markup/lexer.h"
#include "markup/markup.h"
#include "markup/result_report.h"
#include "markup/saved_positions.h"
#include "markup/single_byte.h"
#include "markup/tag_reader.h"
#include "platform/ansi.h"
#include "platform/compiler.h"

bool CXmlDocument::ParseDocument() {
    NewTextVersion();
    SetPositions(0, 0, 0);
    savedPositions->positions.clear();
    outcome = XmlOutcome{};
    problems.clear();
    const int32_t n = static_cast<int32_t>(docText.size());
    entryCount = 1;
    // Every element takes three bytes at least ("<a>"), so room for one
    // entry per three bytes means the index never moves while it fills;
    // what the capacity does not use is given back after the parse.
    elementIndex->SetRoomHint(n / 3 + 2);
    ReserveEntries(n / 64 + 8);
    freeEntry = 0;
    GetEntry(0) = ElementEntry{};
    if (n != 0) {
        MarkupScanner scanner(docText.c_str(), flags, n);
        const int32_t first = ParseElements(0, scanner);
        GetEntry(0).length = n;
        if (first == 0) {
            AddReportEntry(resultReport, "no_root_element", nullptr, 0);
            NoteProblem(XmlStatus::kNoRootElement, -1);
        } else {
            GetEntry(0).firstChild = first;
            const int32_t second = GetEntry(first).nextSibling;
            if (second != 0) {
                AddReportEntry(resultReport, "root_has_sibling", nullptr, 0);
                NoteProblem(XmlStatus::kRootHasSibling, GetEntry(second).start);
            }
        }
    } else {
        NoteProblem(XmlStatus::kEmptyText, -1);
    }
    elementIndex->Trim();
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

// One run of ParseElements. The open elements are the chain of `parent`
// links from the innermost one; while an element is open its `length`
// field holds the length of its name (which starts right after its "<"),
// and gets its real value when the element closes. So opening an element
// allocates nothing. The loop keeps what every token needs in one local
// (Cursor) that its inlined steps share; what happens rarely (growing the
// index, closing unended elements, errors) is done by members that take and
// give back values, so that the loop's locals stay in registers.
class ElementParser {
  public:
    ElementParser(CXmlDocument& doc, int32_t parent, const char* text)
        : doc_(doc),
          text_(text),
          ignoreCase_((doc.flags & kDocIgnoreCase) != 0),
          parent_(parent),
          baseLevel_(doc.GetEntry(parent).Level()) {}

    // Reads the tokens of the whole text into the index; returns the first
    // element created, 0 if none.
    template <bool kIgnoreCase, class Text>
    int32_t Run(const Text in) {
        const int32_t firstEntry = doc_.entryCount;
        Cursor c;
        c.text = in.t;
        c.count = firstEntry;
        // The first element opened fetches the slots.
        c.slots = Slots{nullptr, firstEntry, doc_.elementIndex->Blocks()};
        c.parent = c.open = parent_;
        c.baseLevel = c.level = baseLevel_;
        c.openEntry = &doc_.GetEntry(parent_);
        const char* p = in.t;
        while (!in.AtEnd(p)) {
            const lexer::Opener opener = lexer::OpenerAt(in, p);
            if (opener == lexer::Opener::CharData) {
                TokenKind kind;
                p = lexer::ReadCharData(in, p, &kind);
                continue;
            }
            if (opener == lexer::Opener::StartTag) {
                p = StartTag(in, p, c);
                continue;
            }
            if (opener == lexer::Opener::EndTag) {
                p = EndTag<kIgnoreCase>(in, p, c);
                continue;
            }
            p = c.text + OtherMarkup(in, static_cast<int32_t>(p - c.text), c.open);
        }
        doc_.entryCount = c.count;
        CloseUnended(c.open, c.level - c.baseLevel, 0, static_cast<int32_t>(in.Clip(p) - c.text));
        AppendErrors();
        return c.count > firstEntry ? firstEntry : 0;
    }

  private:
    // Where new entries go: block[i & kBlockMask] for every i below limit;
    // and the index's blocks, valid until it grows.
    struct Slots {
        ElementEntry* block;
        int32_t limit;
        ElementEntry* const* blocks;
    };

    // Where a run stands. Run keeps it in a local and its steps below are
    // inlined, so that it stays in registers.
    struct Cursor {
        // The text (in.t) as a value of its own: `in` itself lives in memory,
        // as the lexer's readers take it by reference.
        const char* text;
        int32_t count;  // the next entry
        Slots slots;
        int32_t parent;           // parent_ and
        int32_t baseLevel;        // baseLevel_, kept here for the same reason
        int32_t open;             // the innermost open element
        int32_t level;            // the level of an element opened now; less baseLevel,
                                  // the number of open elements
        ElementEntry* openEntry;  // the entry of `open`
    };

    // The start tag whose "<" is at `from`; returns the position after it.
    template <class Text>
    ZELK_ALWAYS_INLINE const char* StartTag(const Text& in, const char* from, Cursor& c) {
        const char* const nameEnd = lexer::StartTagNameEnd(in, from);
        const int32_t start = static_cast<int32_t>(from - c.text);
        if (in.Holds(nameEnd, '>')) {
            // The usual case: a start tag without attributes.
            const char* const next = nameEnd + 1;
            const int32_t length = static_cast<int32_t>(next - from);
            if (ZELK_UNLIKELY(static_cast<uint32_t>(length) > kMaxStartTagLength)) {
                TagTooLong("start_tag", start, c.open);
            } else {
                OpenElement(c, start, length, length - 2, false);
            }
            return next;
        }
        lexer::TagBytes bytes;
        const lexer::MarkupRead tag = lexer::ReadStartTagFrom(in, from, nameEnd, bytes);
        const int32_t length = static_cast<int32_t>(tag.next - from);
        if (Takes<TokenKind::StartTag>(tag, start, length, c.open)) {
            OpenElement(c, start, length, tag.nameLength, tag.empty);
        }
        return tag.next;
    }

    // Makes the start tag at `start` an element: the last child of the
    // innermost open element, and itself the innermost one unless `empty`.
    ZELK_ALWAYS_INLINE void OpenElement(Cursor& c, int32_t start, int32_t length,
                                        int32_t nameLength, bool empty) {
        if (ZELK_UNLIKELY(c.count == c.slots.limit)) {
            c.slots = NextSlots(c.count);
            c.openEntry = &At(c.slots, c.open);
        }
        const int32_t e = c.count++;
        ElementEntry& entry = c.slots.block[e & ElementIndex::kBlockMask];
        uint32_t flags = static_cast<uint32_t>(c.level);
        if (ZELK_UNLIKELY(c.level > static_cast<int32_t>(kMaxLevel))) {
            flags = static_cast<uint32_t>(TooDeep(start, c.open));
        }
        int32_t prevSibling = e;
        if (c.openEntry->firstChild == 0) {
            c.openEntry->firstChild = e;
            flags |= kEntryFirstChild;
        } else {
            ElementEntry& firstChild = At(c.slots, c.openEntry->firstChild);
            prevSibling = firstChild.prevSibling;
            At(c.slots, prevSibling).nextSibling = e;
            firstChild.prevSibling = e;
        }
        entry.start = start;
        entry.tagLengths = static_cast<uint32_t>(length);
        entry.flags = flags;
        entry.parent = c.open;
        entry.firstChild = 0;
        entry.nextSibling = 0;
        entry.prevSibling = prevSibling;
        if (empty) {
            entry.length = length;
        } else {
            entry.length = nameLength;
            ++c.level;
            c.open = e;
            c.openEntry = &entry;
        }
    }

    // The end tag whose "</" is at `from`; returns the position after it.
    template <bool kIgnoreCase, class Text>
    ZELK_ALWAYS_INLINE const char* EndTag(const Text& in, const char* from, Cursor& c) {
        if (!kIgnoreCase && c.open != c.parent) {
            const char* const next = EndOfInnermost(in, from, c);
            if (next != nullptr) {
                return next;
            }
        }
        const int32_t start = static_cast<int32_t>(from - c.text);
        lexer::TagBytes bytes;
        const lexer::MarkupRead tag = lexer::ReadEndTag(in, from, bytes);
        const int32_t length = static_cast<int32_t>(tag.next - from);
        if (Takes<TokenKind::EndTag>(tag, start, length, c.open)) {
            // Any other end tag: it may close elements left open inside it, or nothing.
            const Open left = CloseBy(Open{c.open, c.level - c.baseLevel}, start, length,
                                      static_cast<int32_t>(tag.name - c.text), tag.nameLength);
            c.open = left.innermost;
            c.level = c.baseLevel + left.depth;
            c.openEntry = &At(c.slots, c.open);
        }
        return tag.next;
    }

    // The usual end tag, that of the innermost open element byte for byte,
    // "</" name ">", short enough for its length field: closes the element
    // and returns the position after the tag. nullptr for any other.
    template <class Text>
    ZELK_ALWAYS_INLINE const char* EndOfInnermost(const Text& in, const char* from, Cursor& c) {
        ElementEntry& entry = *c.openEntry;
        const int32_t nameLength = entry.length;
        const char* const next = lexer::EndTagOf(in, from, c.text + entry.start + 1, nameLength);
        if (next == nullptr || nameLength > static_cast<int32_t>(kMaxEndTagLength) - 3) {
            return nullptr;
        }
        entry.length = static_cast<int32_t>(next - c.text) - entry.start;
        entry.tagLengths =
            (entry.tagLengths & kMaxStartTagLength) | (static_cast<uint32_t>(nameLength + 3) << 22);
        --c.level;
        c.open = entry.parent;
        c.openEntry = &At(c.slots, c.open);
        return next;
    }

    static ElementEntry& At(const Slots& slots, int32_t i) {
        return slots.blocks[i >> ElementIndex::kBlockShift][i & ElementIndex::kBlockMask];
    }

    ElementEntry& Entry(int32_t i) { return doc_.GetEntry(i); }

    // The slots from entry `count` on, growing the index when it is full
    // (which may move the last block).
    ZELK_NOINLINE Slots NextSlots(int32_t count) {
        ElementIndex& index = *doc_.elementIndex;
        if (count >= index.Capacity()) {
            doc_.entryCount = count;
            doc_.ReserveEntries(0);
        }
        const int32_t blockStart = count & ~ElementIndex::kBlockMask;
        return Slots{index.Blocks()[count >> ElementIndex::kBlockShift],
                     std::min(index.Capacity(), blockStart + ElementIndex::kBlockEntries),
                     index.Blocks()};
    }

    // The open elements: the innermost one and how many there are.
    struct Open {
        int32_t innermost;
        int32_t depth;
    };

    void MarkError(int32_t open) {
        Entry(parent_).flags |= kEntryIllFormed;
        Entry(open).flags |= kEntryErrorInside;
    }

    // Whether a start or end tag read at `start` is taken: not when the end
    // of the text cut it off (an Error token), nor when it does not fit its
    // length field (reported: a start tag makes no element, an end tag closes
    // nothing).
    template <TokenKind kKind>
    ZELK_ALWAYS_INLINE bool Takes(const lexer::MarkupRead& tag, int32_t start, int32_t length,
                                  int32_t open) {
        if (ZELK_UNLIKELY(tag.outcome != lexer::Outcome::Closed)) {
            Unterminated(kKind, start, open);
            return false;
        }
        constexpr bool startTag = kKind == TokenKind::StartTag;
        if (ZELK_UNLIKELY(static_cast<uint32_t>(length) >
                          (startTag ? kMaxStartTagLength : kMaxEndTagLength))) {
            TagTooLong(startTag ? "start_tag" : "end_tag", start, open);
            return false;
        }
        return true;
    }

    ZELK_NOINLINE void TagTooLong(const char* type, int32_t start, int32_t open) {
        MarkError(open);
        AddReportEntry(doc_.resultReport, "tag_too_long", type, kReportValueType, start);
        doc_.NoteProblem(XmlStatus::kTagTooLong, start);
    }

    // The level for an element deeper than the level field holds: the
    // deepest level; the document is reported once.
    ZELK_NOINLINE int32_t TooDeep(int32_t start, int32_t open) {
        if (!deepReported_) {
            deepReported_ = true;
            MarkError(open);
            AddReportEntry(doc_.resultReport, "nesting_too_deep", nullptr, 0, start);
            doc_.NoteProblem(XmlStatus::kNestingTooDeep, start);
        }
        return static_cast<int32_t>(kMaxLevel);
    }

    // Comments, CDATA sections, processing instructions, document type
    // declarations and syntax errors: none makes an element; an Error token,
    // or an error inside a declaration, marks the document.
    template <class Text>
    ZELK_NOINLINE int32_t OtherMarkup(const Text& in, int32_t start, int32_t open) {
        const lexer::MarkupRead m =
            lexer::ReadOtherMarkup(in, in.t + start, lexer::ErrorSink{errors_, start, false}, {});
        if (m.outcome == lexer::Outcome::Unterminated) {
            Unterminated(m.kind, start, open);
        } else if (m.kind == TokenKind::Error || errors_.size() > appended_) {
            MarkError(open);
            AppendErrors();
            doc_.NoteProblem(XmlStatus::kBadMarkup, start);
        }
        return static_cast<int32_t>(m.next - in.t);
    }

    // Markup of `kind` that the end of the text cut off: an Error token.
    ZELK_NOINLINE void Unterminated(TokenKind kind, int32_t start, int32_t open) {
        lexer::AddUnterminated(errors_, kind, start);
        MarkError(open);
        AppendErrors();
        doc_.NoteProblem(XmlStatus::kUnterminatedMarkup, start);
    }

    // Appends the tokenizer's entries not yet in the report; they stop with
    // the report's limit.
    void AppendErrors() {
        if (errors_.size() > appended_ && doc_.resultReport.size() < kReportLimit) {
            doc_.resultReport.append(errors_, appended_, std::string::npos);
        }
        appended_ = errors_.size();
    }

    // The name of the open element e, as a string.
    std::string OpenName(int32_t e) {
        const ElementEntry& entry = Entry(e);
        return std::string(text_ + entry.start + 1, static_cast<size_t>(entry.length));
    }

    // An end tag that does not close the innermost element byte for byte:
    // the innermost open element it matches is closed, and the ones inside
    // it as unended; with no match it is a lone end tag. Returns the open
    // elements left.
    ZELK_NOINLINE Open CloseBy(Open open, int32_t start, int32_t length, int32_t nameStart,
                               int32_t nameLength) {
        int32_t matched = 0;
        int32_t m = open.innermost;
        for (int32_t i = open.depth; i > 0; --i, m = Entry(m).parent) {
            const ElementEntry& candidate = Entry(m);
            if (MatchNameSpan(text_, nameStart, nameStart + nameLength - 1,
                              text_ + candidate.start + 1, candidate.length,
                              ignoreCase_ ? kDocIgnoreCase : 0)) {
                matched = i;
                break;
            }
        }
        if (matched == 0) {
            MarkError(open.innermost);
            AddReportEntry(doc_.resultReport, "lone_end_tag",
                           std::string(text_ + nameStart, static_cast<size_t>(nameLength)).c_str(),
                           0, start);
            doc_.NoteProblem(XmlStatus::kLoneEndTag, start);
            return open;
        }
        CloseUnended(open.innermost, open.depth, matched, start + 1);
        ElementEntry& element = Entry(m);
        element.length = start + length - element.start;
        element.SetTagLengths(static_cast<uint32_t>(element.StartTagLength()),
                              static_cast<uint32_t>(length));
        return Open{element.parent, matched - 1};
    }

    // Closes the open elements above the `matched` outermost ones, from
    // `open` outwards, as unended: each becomes an element without content
    // and its children become its following siblings.
    void CloseUnended(int32_t open, int32_t depth, int32_t matched, int32_t closingOffset) {
        if (depth > matched) {
            Entry(parent_).flags |= kEntryIllFormed;
        }
        for (int32_t u = open; depth > matched; --depth) {
            const std::string name = OpenName(u);
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
            AddReportEntry(doc_.resultReport, "unended_start_tag", name.c_str(), 0, Entry(u).start,
                           closingOffset);
            doc_.NoteProblem(XmlStatus::kUnendedStartTag, Entry(u).start, closingOffset);
            u = up;
        }
    }

    CXmlDocument& doc_;
    const char* const text_;
    const bool ignoreCase_;
    const int32_t parent_;
    const int32_t baseLevel_;
    bool deepReported_ = false;
    std::string errors_;   // the tokenizer's entries of this run
    size_t appended_ = 0;  // how much of errors_ has gone to the report
};

int32_t CXmlDocument::ParseElements(int32_t parent, MarkupScanner& scanner) {
    scanner.pos = 0;
    ElementParser parser(*this, parent, scanner.text);
    const char* const text = scanner.text;
    const bool ignoreCase = (flags & kDocIgnoreCase) != 0;
    // A text that ends with its zero byte at `end` is read without bounds checks.
    if (AnsiCharsAreSingleByte() && text[scanner.end] == '\0') {
        const lexer::ByteText in{text, text + scanner.end};
        return ignoreCase ? parser.Run<true>(in) : parser.Run<false>(in);
    }
    const lexer::CharText in{text, text + scanner.end, platform::AnsiCharLengths()};
    return ignoreCase ? parser.Run<true>(in) : parser.Run<false>(in);
}
