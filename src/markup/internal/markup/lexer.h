// The lexer: one rule set for each kind of markup, read in place from the
// document text. The tokenizer (ScanToken) hands out one token per call; the
// parser reads start tags, end tags and character data with the same
// functions straight into the element index. Start tags, end tags and
// character data are read inline here; comments, CDATA sections, processing
// instructions, document type declarations and every syntax error by the
// functions of lexer.cpp, entered from ReadMarkup. Positions are pointers
// into the text.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "markup/char_class.h"
#include "markup/tokenizer.h"
#include "platform/compiler.h"

namespace lexer {

// A text in which every character is one byte and which ends with a zero
// byte at `end` (a document's own text). Runs are searched without bounds
// checks: the zero byte stops every one of them.
struct ByteText {
    static constexpr bool kZeroEnded = true;  // the byte after one that is not zero exists
    const char* t;
    const char* end;  // *end is zero

    bool AtEnd(const char* p) const { return *p == '\0'; }
    // Whether the byte at p is c (not the zero byte).
    bool Holds(const char* p, char c) const { return *p == c; }
    const char* Clip(const char* p) const { return p; }
    const char* Next(const char* p) const { return p + 1; }
    // The first byte from p in `stop` (which holds the zero byte), four a turn.
    const char* Skip(const char* p, uint16_t stop) const {
        for (;; p += 4) {
            if (CharClassOf(p[0]) & stop) {
                return p;
            }
            if (CharClassOf(p[1]) & stop) {
                return p + 1;
            }
            if (CharClassOf(p[2]) & stop) {
                return p + 2;
            }
            if (CharClassOf(p[3]) & stop) {
                return p + 3;
            }
        }
    }
    // The closing `quote` of a value from p, or the zero byte.
    const char* SkipTo(const char* p, char quote) const {
        for (;; p += 2) {
            if (p[0] == quote || p[0] == '\0') {
                return p;
            }
            if (p[1] == quote || p[1] == '\0') {
                return p + 1;
            }
        }
    }
    // Character data up to "<", ">" or the zero byte; long runs by memchr.
    const char* SkipText(const char* p) const {
        constexpr int kShortRun = 32;
        for (int i = 0; i < kShortRun; ++i, ++p) {
            if (CharClassOf(*p) & kCharTextStop) {
                return p;
            }
        }
        const char* stop = end;
        for (char c : {'<', '>', '\0'}) {
            const void* found = std::memchr(p, c, static_cast<size_t>(stop - p));
            if (found != nullptr) {
                stop = static_cast<const char*>(found);
            }
        }
        return stop;
    }
};

// A stretch of a text in which every character is one byte, up to its
// first zero byte or `end`; nothing at or beyond `end` is read.
struct ByteSpan {
    static constexpr bool kZeroEnded = false;
    const char* t;
    const char* end;

    bool AtEnd(const char* p) const { return p >= end || *p == '\0'; }
    bool Holds(const char* p, char c) const { return p < end && *p == c; }
    const char* Clip(const char* p) const { return p; }
    const char* Next(const char* p) const { return p + 1; }
    const char* Skip(const char* p, uint16_t stop) const {
        while (p < end && (CharClassOf(*p) & stop) == 0) {
            ++p;
        }
        return p;
    }
    const char* SkipTo(const char* p, char quote) const {
        while (p < end && *p != quote && *p != '\0') {
            ++p;
        }
        return p;
    }
    const char* SkipText(const char* p) const { return Skip(p, kCharTextStop); }
};

// Any text, read character by character with the lengths of the ANSI code
// page's multibyte characters (so a trail byte is never taken for markup),
// up to its first zero byte or `end`; nothing at or beyond `end` is read. A
// step may land beyond `end` when the last character is cut; Clip brings
// such a position back.
struct CharText {
    static constexpr bool kZeroEnded = false;
    const char* t;
    const char* end;
    const uint8_t* length;  // AnsiCharLengths()

    bool AtEnd(const char* p) const { return p >= end || *p == '\0'; }
    bool Holds(const char* p, char c) const { return p < end && *p == c; }
    const char* Clip(const char* p) const { return p < end ? p : end; }
    const char* Next(const char* p) const { return p + length[static_cast<uint8_t>(*p)]; }
    const char* Skip(const char* p, uint16_t stop) const {
        while (p < end && (CharClassOf(*p) & stop) == 0) {
            p = Next(p);
        }
        return p;
    }
    const char* SkipTo(const char* p, char quote) const {
        while (p < end && *p != quote && *p != '\0') {
            p = Next(p);
        }
        return p;
    }
    const char* SkipText(const char* p) const { return Skip(p, kCharTextStop); }
};

// The first bytes of the last two characters read inside a tag: whether a
// tag ends in "/>" and whether "=" follows "=" depends on them. Inside a
// document type declaration they carry over from one nested tag to the next.
struct TagBytes {
    uint8_t last1 = 0;
    uint8_t last2 = 0;
    void Push(char c) {
        last2 = last1;
        last1 = static_cast<uint8_t>(c);
    }
};

// Skips the run from p up to a byte in `stop`, keeping its last two characters.
ZELK_ALWAYS_INLINE const char* SkipKeeping(const ByteText& in, const char* p, uint16_t stop,
                                           TagBytes& bytes) {
    const char* const from = p;
    p = in.Skip(p, stop);
    if (p - from >= 2) {
        bytes.last2 = static_cast<uint8_t>(p[-2]);
        bytes.last1 = static_cast<uint8_t>(p[-1]);
    } else if (p != from) {
        bytes.Push(p[-1]);
    }
    return p;
}
template <class Text>
ZELK_ALWAYS_INLINE const char* SkipKeeping(const Text& in, const char* p, uint16_t stop,
                                           TagBytes& bytes) {
    while (p < in.end && (CharClassOf(*p) & stop) == 0) {
        bytes.Push(*p);
        p = in.Next(p);
    }
    return p;
}

// How a piece of markup ended.
enum class Outcome : uint8_t {
    Closed,        // its terminator was met; `next` is the byte after it
    BeforeLt,      // a syntax error that ran up to a "<"; `next` is that "<"
    Unterminated,  // the text ended first; `next` is the end
};

// What one reader found.
struct MarkupRead {
    const char* next = nullptr;
    TokenKind kind = TokenKind::Error;
    Outcome outcome = Outcome::Closed;
    bool empty = false;  // a start tag ended in "/>" (inside a declaration too)
    // The last tag or target name read, name[0..nameLength) (nameLength -1: none).
    const char* name = nullptr;
    int32_t nameLength = -1;
    TagBytes bytes;  // the tag bytes afterwards (for the readers of lexer.cpp)
};

// Where the syntax error entries of one token go: `errors`, each with the
// token's start as its offset.
struct ErrorSink {
    std::string& errors;
    int32_t tokenStart;
    bool inDoctype;  // reading the internal subset of a document type declaration
};

inline MarkupRead Read(const char* next, TokenKind kind, Outcome outcome) {
    MarkupRead m;
    m.next = next;
    m.kind = kind;
    m.outcome = outcome;
    return m;
}

// Character data from p (not "<", not the end): whitespace up to "<" or the
// end is a Whitespace token; anything else is Text, which runs to "<"
// (excluded) or ">" (included) and whose first byte is taken whatever it is.
// Returns the position after the token.
template <class Text>
ZELK_ALWAYS_INLINE const char* ReadCharData(const Text& in, const char* p, TokenKind* kind) {
    if (IsCharSpace(*p)) {
        const char* q = p + 1;
        while (!in.AtEnd(q) && IsCharSpace(*q)) {
            ++q;
        }
        if (in.AtEnd(q) || *q == '<') {
            *kind = TokenKind::Whitespace;
            return q;
        }
        p = q;
    }
    *kind = TokenKind::Text;
    const char* const q = in.SkipText(in.Next(p));
    if (in.AtEnd(q)) {
        return in.Clip(q);
    }
    return *q == '>' ? q + 1 : q;
}

// How a value inside a start tag ended.
enum class ValueEnd : uint8_t {
    More,    // the tag goes on at the position given back
    Closed,  // the ">" at that position closes the tag
    Ended,   // the text ended first
};

// A quoted value whose opening quote is at q. Moves q past the closing
// quote; the tag bytes afterwards are the quote alone, or both quotes of an
// empty value.
template <class Text>
ZELK_ALWAYS_INLINE ValueEnd SkipQuotedValue(const Text& in, const char*& q, TagBytes& bytes) {
    const char quote = *q;
    bytes.Push(quote);
    ++q;
    if (in.AtEnd(q)) {
        return ValueEnd::Ended;
    }
    if (*q != quote) {
        q = in.SkipTo(in.Next(q), quote);
        if (in.AtEnd(q)) {
            return ValueEnd::Ended;
        }
        bytes = TagBytes{};
    }
    bytes.Push(quote);
    ++q;
    return ValueEnd::More;
}

// An unquoted value whose first byte is at q, up to whitespace or ">". At
// the ">", *empty tells whether the tag is an empty-element tag: a "/"
// right before it that does not continue the value (x=1/> is not one).
template <class Text>
ZELK_ALWAYS_INLINE ValueEnd SkipUnquotedValue(const Text& in, const char*& q, TagBytes& bytes,
                                              bool* empty) {
    bytes.Push(*q);
    q = SkipKeeping(in, in.Next(q), kCharValueEnd, bytes);
    if (in.AtEnd(q)) {
        return ValueEnd::Ended;
    }
    if (*q == '>') {
        const char before = static_cast<char>(bytes.last2);
        *empty = bytes.last1 == '/' && (IsCharSpace(before) || before == '"' || before == '\'');
        return ValueEnd::Closed;
    }
    bytes.Push(*q);
    ++q;
    return ValueEnd::More;
}

// What follows an "=" that opens a value, from q: whitespace, then a quoted
// value, an unquoted one or the ">" that closes the tag.
template <class Text>
ZELK_ALWAYS_INLINE ValueEnd SkipValue(const Text& in, const char*& q, TagBytes& bytes,
                                      bool* empty) {
    while (!in.AtEnd(q) && IsCharSpace(*q)) {
        bytes.Push(*q);
        ++q;
    }
    if (in.AtEnd(q)) {
        return ValueEnd::Ended;
    }
    if (*q == '>') {
        return ValueEnd::Closed;
    }
    if (*q == '"' || *q == '\'') {
        return SkipQuotedValue(in, q, bytes);
    }
    return SkipUnquotedValue(in, q, bytes, empty);
}

// m, closed by the ">" at q.
ZELK_ALWAYS_INLINE MarkupRead ClosedAt(MarkupRead m, const char* q, bool empty) {
    m.empty = empty;
    m.outcome = Outcome::Closed;
    m.next = q + 1;
    return m;
}

// The start tag whose "<" is at p (p[1] starts a name). A ">" inside a
// quoted value does not end it; quotes open a value only after "=". It is an
// empty-element tag when "/" comes right before the ">", except at the end
// of an unquoted value that the "/" continues (x=1/>).
//
// The name ends at the first byte that ends a name (StartTagNameEnd); the
// rest is read from there (ReadStartTagFrom), which the parser enters
// itself when that byte is not the ">" of a tag without attributes.
template <class Text>
ZELK_ALWAYS_INLINE const char* StartTagNameEnd(const Text& in, const char* p) {
    return in.Skip(in.Next(p + 1), kCharNameEnd);
}
template <class Text>
ZELK_ALWAYS_INLINE MarkupRead ReadStartTagFrom(const Text& in, const char* p, const char* nameEnd,
                                               TagBytes& bytes) {
    MarkupRead m = Read(nullptr, TokenKind::StartTag, Outcome::Unterminated);
    const char* q = nameEnd;
    if (in.AtEnd(q)) {
        m.next = in.Clip(q);
        return m;
    }
    m.name = p + 1;
    m.nameLength = static_cast<int32_t>(q - (p + 1));
    bytes = TagBytes{};
    if (*q == '>') {  // a tag without attributes
        return ClosedAt(m, q, false);
    }
    for (;;) {
        // Outside any value: only "=" and ">" matter.
        q = SkipKeeping(in, q, kCharTagStop, bytes);
        if (in.AtEnd(q)) {
            break;
        }
        if (*q == '>') {
            return ClosedAt(m, q, bytes.last1 == '/');
        }
        const bool opensValue = bytes.last1 != '=';  // "==": the second is a plain byte
        bytes.Push('=');
        ++q;
        if (!opensValue) {
            continue;
        }
        bool empty = false;
        const ValueEnd value = SkipValue(in, q, bytes, &empty);
        if (value == ValueEnd::Closed) {
            return ClosedAt(m, q, empty);
        }
        if (value == ValueEnd::Ended) {
            break;
        }
    }
    m.next = in.Clip(q);
    return m;
}

template <class Text>
ZELK_ALWAYS_INLINE MarkupRead ReadStartTag(const Text& in, const char* p, TagBytes& bytes) {
    return ReadStartTagFrom(in, p, StartTagNameEnd(in, p), bytes);
}

// The end tag whose "</" is at p: its name, then anything up to ">".
template <class Text>
ZELK_ALWAYS_INLINE MarkupRead ReadEndTag(const Text& in, const char* p, TagBytes& bytes) {
    MarkupRead m = Read(nullptr, TokenKind::EndTag, Outcome::Unterminated);
    const char* q = in.Skip(p + 2, kCharNameEnd);
    if (in.AtEnd(q)) {
        m.next = in.Clip(q);
        return m;
    }
    m.name = p + 2;
    m.nameLength = static_cast<int32_t>(q - (p + 2));
    bytes = TagBytes{};
    if (*q != '>') {
        q = in.Skip(in.Next(q), kCharBodyStop);
        if (in.AtEnd(q)) {
            m.next = in.Clip(q);
            return m;
        }
    }
    m.outcome = Outcome::Closed;
    m.next = q + 1;
    return m;
}

// Whether the end tag whose "</" is at p is "</" name ">" exactly, for the
// name of an open element (which holds no byte that ends a name): the
// parser's shortcut for the usual end tag. Where it answers yes, ReadEndTag
// reads the same tag, name and end. Returns the position after the ">", or
// nullptr.
template <class Text>
ZELK_ALWAYS_INLINE const char* EndTagOf(const Text& in, const char* p, const char* name,
                                        int32_t nameLength) {
    const char* const q = p + 2;
    // In a text that ends with its zero byte, the zero byte stops the
    // comparison: no name holds one.
    if (!Text::kZeroEnded && in.end - q <= nameLength) {
        return nullptr;
    }
    int32_t i = 0;  // an open element's name has a byte at least
    do {
        if (q[i] != name[i]) {
            return nullptr;
        }
    } while (++i < nameLength);
    return q[nameLength] == '>' ? q + nameLength + 1 : nullptr;
}

// Everything after "<" that is neither a start nor an end tag, read with
// the tag bytes `bytes` (lexer.cpp).
template <class Text>
MarkupRead ReadOtherMarkup(const Text& in, const char* p, const ErrorSink& sink, TagBytes bytes);

// What the text at p (not the end) opens: the byte after a "<" decides.
enum class Opener : uint8_t { CharData, StartTag, EndTag, OtherMarkup };
template <class Text>
ZELK_ALWAYS_INLINE Opener OpenerAt(const Text& in, const char* p) {
    if (*p != '<') {
        return Opener::CharData;
    }
    // Neither a name start nor "/" is the zero byte.
    if (!Text::kZeroEnded && in.AtEnd(p + 1)) {
        return Opener::OtherMarkup;
    }
    if (CharClassOf(p[1]) & kCharNameStart) {
        return Opener::StartTag;
    }
    return p[1] == '/' ? Opener::EndTag : Opener::OtherMarkup;
}

// The markup whose "<" is at p.
template <class Text>
ZELK_ALWAYS_INLINE MarkupRead ReadMarkup(const Text& in, const char* p, const ErrorSink& sink,
                                         TagBytes& bytes) {
    switch (OpenerAt(in, p)) {
        case Opener::StartTag:
            return ReadStartTag(in, p, bytes);
        case Opener::EndTag:
            return ReadEndTag(in, p, bytes);
        default: {
            const MarkupRead m = ReadOtherMarkup(in, p, sink, bytes);
            bytes = m.bytes;
            return m;
        }
    }
}

// Adds the "unterminated_tag_syntax" entry for markup of `kind` that the
// end of the text cut off (lexer.cpp).
void AddUnterminated(std::string& errors, TokenKind kind, int32_t tokenStart);

// Reads the token at p (which is not at the end of the text) and adds its
// syntax error entries to `errors`. For start tags the result's name and
// empty mark describe the tag; the name is also set for end tags and
// processing instructions. Markup that the end of the text cut off comes
// back as Error.
template <class Text>
inline MarkupRead Lex(const Text& in, const char* p, std::string& errors) {
    if (OpenerAt(in, p) == Opener::CharData) {
        TokenKind kind;
        const char* const next = ReadCharData(in, p, &kind);
        return Read(next, kind, Outcome::Closed);
    }
    const int32_t start = static_cast<int32_t>(p - in.t);
    TagBytes bytes;
    MarkupRead m = ReadMarkup(in, p, ErrorSink{errors, start, false}, bytes);
    if (m.outcome == Outcome::Unterminated) {
        AddUnterminated(errors, m.kind, start);
        m.kind = TokenKind::Error;
    }
    return m;
}

}  // namespace lexer
