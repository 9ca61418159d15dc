// The lexer: one rule set for each kind of markup, read in place from the
// document text. The tokenizer (ScanToken) hands out one token per call; the
// parser reads start tags, end tags and character data with the same
// functions straight into the element index. Start tags, end tags and
// character data are read inline here; comments, CDATA sections, processing
// instructions, document type declarations and every syntax error by the
// functions of lexer.cpp, entered from ReadMarkup.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "markup/char_class.h"
#include "markup/tokenizer.h"

namespace lexer {

// A text in which every character is one byte and which ends with a zero
// byte at `end` (a document's own text). Runs are searched without bounds
// checks: the zero byte stops every one of them.
struct ByteText {
    const char* t;
    int32_t end;

    bool AtEnd(int32_t p) const { return t[p] == '\0'; }
    int32_t Clip(int32_t p) const { return p; }
    int32_t Next(int32_t p) const { return p + 1; }
    // The first offset from p whose byte is in `stop` (which holds the zero byte).
    int32_t Skip(int32_t p, uint16_t stop) const {
        while ((CharClassOf(t[p]) & stop) == 0) {
            ++p;
        }
        return p;
    }
    // The closing `quote` of a value from p, or the zero byte.
    int32_t SkipTo(int32_t p, char quote) const {
        while (t[p] != quote && t[p] != '\0') {
            ++p;
        }
        return p;
    }
    // Character data up to "<", ">" or the zero byte; long runs by memchr.
    int32_t SkipText(int32_t p) const {
        constexpr int32_t kShortRun = 32;
        for (int32_t i = 0; i < kShortRun; ++i, ++p) {
            if (CharClassOf(t[p]) & kCharTextStop) {
                return p;
            }
        }
        int32_t stop = end;
        for (char c : {'<', '>', '\0'}) {
            const void* found = std::memchr(t + p, c, static_cast<size_t>(stop - p));
            if (found != nullptr) {
                stop = static_cast<int32_t>(static_cast<const char*>(found) - t);
            }
        }
        return stop;
    }
};

// Any text, read character by character with the lengths of the ANSI code
// page's multibyte characters (so a trail byte is never taken for markup),
// up to its first zero byte or `end`; nothing at or beyond `end` is read. A
// step may land beyond `end` when the last character is cut; Clip brings
// such an offset back.
struct CharText {
    const char* t;
    int32_t end;
    const uint8_t* length;  // AnsiCharLengths()

    bool AtEnd(int32_t p) const { return p >= end || t[p] == '\0'; }
    int32_t Clip(int32_t p) const { return p < end ? p : end; }
    int32_t Next(int32_t p) const { return p + length[static_cast<uint8_t>(t[p])]; }
    int32_t Skip(int32_t p, uint16_t stop) const {
        while (p < end && (CharClassOf(t[p]) & stop) == 0) {
            p = Next(p);
        }
        return p;
    }
    int32_t SkipTo(int32_t p, char quote) const {
        while (p < end && t[p] != quote && t[p] != '\0') {
            p = Next(p);
        }
        return p;
    }
    int32_t SkipText(int32_t p) const { return Skip(p, kCharTextStop); }
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
inline int32_t SkipKeeping(const ByteText& in, int32_t p, uint16_t stop, TagBytes& bytes) {
    const int32_t from = p;
    p = in.Skip(p, stop);
    if (p - from >= 2) {
        bytes.last2 = static_cast<uint8_t>(in.t[p - 2]);
        bytes.last1 = static_cast<uint8_t>(in.t[p - 1]);
    } else if (p != from) {
        bytes.Push(in.t[p - 1]);
    }
    return p;
}
inline int32_t SkipKeeping(const CharText& in, int32_t p, uint16_t stop, TagBytes& bytes) {
    while (p < in.end && (CharClassOf(in.t[p]) & stop) == 0) {
        bytes.Push(in.t[p]);
        p = in.Next(p);
    }
    return p;
}

// A tag's name (or a processing instruction's target): t[start..last].
struct TagName {
    int32_t start = 0;
    int32_t last = -1;
};

// How a piece of markup ended.
enum class Outcome : uint8_t {
    Closed,        // its terminator was met; `next` is the offset after it
    BeforeLt,      // a syntax error that ran up to a "<"; `next` is its offset
    Unterminated,  // the text ended first; `next` is the end
};

// What ReadMarkup found.
struct MarkupRead {
    TokenKind kind;
    Outcome outcome;
    int32_t next;
};

// The state one piece of markup is read with. `errors` receives the syntax
// error entries, each with the offset of the token that holds the error.
struct MarkupContext {
    MarkupContext(std::string& errors_, int32_t tokenStart_)
        : errors(errors_), tokenStart(tokenStart_) {}

    std::string& errors;
    int32_t tokenStart;
    bool inDoctype = false;  // reading the internal subset of a document type declaration
    bool empty = false;      // a start tag ended in "/>" (nested ones included)
    bool named = false;      // `name` holds the last tag or target name read
    TagName name;
    TagBytes bytes;
};

// Character data from p (not "<", not the end): whitespace up to "<" or the
// end is a Whitespace token; anything else is Text, which runs to "<"
// (excluded) or ">" (included) and whose first byte is taken whatever it is.
// Returns the offset after the token.
template <class Text>
inline int32_t ReadCharData(const Text& in, int32_t p, TokenKind* kind) {
    const char* const t = in.t;
    if (IsCharSpace(t[p])) {
        int32_t q = p + 1;
        while (!in.AtEnd(q) && IsCharSpace(t[q])) {
            ++q;
        }
        if (in.AtEnd(q) || t[q] == '<') {
            *kind = TokenKind::Whitespace;
            return q;
        }
        p = q;
    }
    *kind = TokenKind::Text;
    const int32_t q = in.SkipText(in.Next(p));
    if (in.AtEnd(q)) {
        return in.Clip(q);
    }
    return t[q] == '>' ? q + 1 : q;
}

// The start tag whose "<" is at p (t[p + 1] starts a name). A ">" inside a
// quoted value does not end it; quotes open a value only after "=". It is an
// empty-element tag when "/" comes right before the ">", except at the end
// of an unquoted value that the "/" continues (x=1/>).
template <class Text>
inline MarkupRead ReadStartTag(const Text& in, int32_t p, MarkupContext& cx) {
    const char* const t = in.t;
    int32_t q = in.Skip(in.Next(p + 1), kCharNameEnd);
    if (in.AtEnd(q)) {
        return {TokenKind::StartTag, Outcome::Unterminated, in.Clip(q)};
    }
    cx.name = TagName{p + 1, q - 1};
    cx.named = true;
    TagBytes& bytes = cx.bytes;
    bytes = TagBytes{};
    for (;;) {
        // Outside any value: only "=" and ">" matter.
        q = SkipKeeping(in, q, kCharTagStop, bytes);
        if (in.AtEnd(q)) {
            break;
        }
        if (t[q] == '>') {
            cx.empty |= bytes.last1 == '/';
            return {TokenKind::StartTag, Outcome::Closed, q + 1};
        }
        const bool opensValue = bytes.last1 != '=';  // "==": the second is a plain byte
        bytes.Push('=');
        ++q;
        if (!opensValue) {
            continue;
        }
        while (!in.AtEnd(q) && IsCharSpace(t[q])) {
            bytes.Push(t[q]);
            ++q;
        }
        if (in.AtEnd(q)) {
            break;
        }
        const char c = t[q];
        if (c == '>') {
            return {TokenKind::StartTag, Outcome::Closed, q + 1};
        }
        if (c == '"' || c == '\'') {
            bytes.Push(c);
            ++q;
            if (in.AtEnd(q)) {
                break;
            }
            if (t[q] == c) {
                bytes.Push(c);
                ++q;
                continue;
            }
            q = in.SkipTo(in.Next(q), c);
            if (in.AtEnd(q)) {
                break;
            }
            bytes = TagBytes{};
            bytes.Push(c);
            ++q;
            continue;
        }
        // An unquoted value, up to whitespace or ">".
        bytes.Push(c);
        q = SkipKeeping(in, in.Next(q), kCharValueEnd, bytes);
        if (in.AtEnd(q)) {
            break;
        }
        if (t[q] == '>') {
            const char before = static_cast<char>(bytes.last2);
            cx.empty |=
                bytes.last1 == '/' && (IsCharSpace(before) || before == '"' || before == '\'');
            return {TokenKind::StartTag, Outcome::Closed, q + 1};
        }
        bytes.Push(t[q]);
        ++q;
    }
    return {TokenKind::StartTag, Outcome::Unterminated, in.Clip(q)};
}

// The end tag whose "</" is at p: its name, then anything up to ">".
template <class Text>
inline MarkupRead ReadEndTag(const Text& in, int32_t p, MarkupContext& cx) {
    int32_t q = in.Skip(p + 2, kCharNameEnd);
    if (in.AtEnd(q)) {
        return {TokenKind::EndTag, Outcome::Unterminated, in.Clip(q)};
    }
    cx.name = TagName{p + 2, q - 1};
    cx.named = true;
    cx.bytes = TagBytes{};
    if (in.t[q] != '>') {
        q = in.Skip(in.Next(q), kCharBodyStop);
        if (in.AtEnd(q)) {
            return {TokenKind::EndTag, Outcome::Unterminated, in.Clip(q)};
        }
    }
    return {TokenKind::EndTag, Outcome::Closed, q + 1};
}

// Everything after "<" that is neither a start nor an end tag (lexer.cpp).
template <class Text>
MarkupRead ReadOtherMarkup(const Text& in, int32_t p, MarkupContext& cx);

// The markup whose "<" is at p: the byte after it decides what it is.
template <class Text>
inline MarkupRead ReadMarkup(const Text& in, int32_t p, MarkupContext& cx) {
    const int32_t p1 = p + 1;
    if (!in.AtEnd(p1)) {
        const char c = in.t[p1];
        if (CharClassOf(c) & kCharNameStart) {
            return ReadStartTag(in, p, cx);
        }
        if (c == '/') {
            return ReadEndTag(in, p, cx);
        }
    }
    return ReadOtherMarkup(in, p, cx);
}

// Adds the "unterminated_tag_syntax" entry for markup of `kind` that the
// end of the text cut off (lexer.cpp).
void AddUnterminated(std::string& errors, TokenKind kind, int32_t tokenStart);

// Reads the token at p (which is not at the end of the text), adds its
// syntax error entries to `errors`, and hands it to one call of `sink`:
//   CharData(kind, start, next)     Text or Whitespace
//   StartTag(start, next, cx)       cx.name and cx.empty describe the tag
//   EndTag(start, next, cx)
//   Markup(kind, start, next, cx)   anything else; markup that the end of the
//                                   text cut off comes as Error
// Returns the offset after the token.
template <class Text, class Sink>
inline int32_t LexToken(const Text& in, int32_t p, std::string& errors, Sink& sink) {
    if (in.t[p] != '<') {
        TokenKind kind;
        const int32_t next = ReadCharData(in, p, &kind);
        sink.CharData(kind, p, next);
        return next;
    }
    MarkupContext cx{errors, p};
    const MarkupRead m = ReadMarkup(in, p, cx);
    if (m.outcome == Outcome::Unterminated) {
        AddUnterminated(errors, m.kind, p);
        sink.Markup(TokenKind::Error, p, m.next, cx);
    } else if (m.kind == TokenKind::StartTag) {
        sink.StartTag(p, m.next, cx);
    } else if (m.kind == TokenKind::EndTag) {
        sink.EndTag(p, m.next, cx);
    } else {
        sink.Markup(m.kind, p, m.next, cx);
    }
    return m.next;
}

}  // namespace lexer
