#include "markup/tag_reader.h"

#include <cstring>

#include "markup/char_class.h"
#include "markup/compare_text.h"
#include "markup/lexer.h"
#include "markup/single_byte.h"
#include "platform/ansi.h"
#include "platform/compiler.h"

int32_t ReadWord(const char* text, int32_t pos, int32_t end, int32_t* wordStart) {
    while (pos < end && IsCharSpace(text[pos])) {
        ++pos;
    }
    *wordStart = pos;
    if (pos >= end || text[pos] == '\0') {
        return 0;
    }
    if (CharClassOf(text[pos]) & kCharWordEnd) {
        return 1;
    }
    const uint8_t* charLength = platform::AnsiCharLengths();
    int32_t p = pos;
    while (p < end && (CharClassOf(text[p]) & kCharWordEnd) == 0) {
        p += charLength[static_cast<uint8_t>(text[p])];
    }
    if (p > end) {
        p = end;
    }
    return p - pos;
}

bool MatchNameSpan(const char* text, int32_t nameStart, int32_t nameEnd, const char* given,
                   int32_t givenLength, uint32_t flags) {
    const int32_t n = nameEnd - nameStart + 1;
    if (n < 0 || given == nullptr || givenLength < n) {
        return false;
    }
    if (CompareText(text + nameStart, given, n, (flags & 0x08) != 0) != 0) {
        return false;
    }
    return n == givenLength || (CharClassOf(given[n]) & kCharNameDelim) != 0;
}

bool MatchName(const char* text, int32_t nameStart, int32_t nameEnd, const char* given,
               uint32_t flags) {
    if (given == nullptr) {
        return false;
    }
    return MatchNameSpan(text, nameStart, nameEnd, given, static_cast<int32_t>(std::strlen(given)),
                         flags);
}

namespace {

// A value as the attribute reader finds it: from `start`, `length` bytes,
// quotes excluded; reading goes on at `next`.
struct ValueSpan {
    const char* start;
    int32_t length;
    bool quoted;
    bool closed;  // a quoted value has its closing quote
    const char* next;
};

// The quoted value whose opening quote is at p: up to the matching quote or
// the end of the tag.
template <class Text>
ZELK_ALWAYS_INLINE ValueSpan QuotedValue(const Text& in, const char* p) {
    const char* const q = in.Clip(in.SkipTo(p + 1, *p));
    const bool closed = !in.AtEnd(q);
    return ValueSpan{p + 1, static_cast<int32_t>(q - (p + 1)), true, closed, closed ? q + 1 : q};
}

// The unquoted value that starts at p: up to whitespace or ">".
template <class Text>
ZELK_ALWAYS_INLINE ValueSpan UnquotedValue(const Text& in, const char* p) {
    const char* const q = in.Clip(in.Skip(p, kCharValueEnd));
    return ValueSpan{p, static_cast<int32_t>(q - p), false, false, q};
}

// The last attribute name read, held while its value is not yet known.
struct PendingAttribute {
    AttributeSpan span;
    bool held = false;

    // Holds the name text[nameStart..nameEnd), without a value so far.
    void Hold(const char* text, const char* nameStart, const char* nameEnd) {
        span.nameStart = static_cast<int32_t>(nameStart - text);
        span.nameLength = static_cast<int32_t>(nameEnd - nameStart);
        span.valueLength = -1;
        span.quoted = false;
        span.closed = false;
        held = true;
    }
    // Hands the held attribute, if any, to visit; true when visit ends the reading.
    template <class Visit>
    ZELK_ALWAYS_INLINE bool Hand(Visit& visit) {
        if (!held) {
            return false;
        }
        held = false;
        return visit(span);
    }
    // The same, with the value v; when nothing is held, v belongs to no
    // attribute and is passed over.
    template <class Visit>
    ZELK_ALWAYS_INLINE bool HandWithValue(const char* text, const ValueSpan& v, Visit& visit) {
        if (!held) {
            return false;
        }
        span.valueStart = static_cast<int32_t>(v.start - text);
        span.valueLength = v.length;
        span.quoted = v.quoted;
        span.closed = v.closed;
        held = false;
        return visit(span);
    }
};

// The attribute reader's one loop over the start tag in.t[tagStart..] up to
// in.end (the final ">" already left out). Calls visit(span) for each
// attribute after the element's own name, in order, until visit returns
// true; returns where the reading stopped.
template <class Text, class Visit>
AttributeEnd ReadAttributes(const Text& in, int32_t tagStart, Visit visit) {
    const char* const text = in.t;
    AttributeEnd end;
    PendingAttribute pending;
    bool elementName = true;  // the first name is the element's own
    bool afterEquals = false;
    const char* p = text + tagStart + 1;
    // A value read at p: it goes to the held name, and reading goes on after
    // it. True when visit ends the reading.
    const auto takeValue = [&](const ValueSpan& value) ZELK_ALWAYS_INLINE_LAMBDA {
        p = value.next;
        afterEquals = false;
        return pending.HandWithValue(text, value, visit);
    };
    for (;;) {
        const char* const tokenStart = p;
        while (!in.AtEnd(p) && IsCharSpace(*p)) {
            ++p;
        }
        if (in.AtEnd(p)) {
            end.stopPos = static_cast<int32_t>(tokenStart - text);
            end.danglingEquals = afterEquals;
            if (afterEquals) {
                // "name=" right before the end of the tag: an empty value.
                pending.span.valueStart = static_cast<int32_t>(p - text);
                pending.span.valueLength = 0;
            }
            pending.Hand(visit);
            return end;
        }
        const char c = *p;
        if (c == '"' || c == '\'') {
            if (takeValue(QuotedValue(in, p))) {
                return end;
            }
            continue;
        }
        if (afterEquals) {
            if (takeValue(UnquotedValue(in, p))) {
                return end;
            }
            continue;
        }
        const char* const q = in.Clip(in.Skip(p, kCharAttrNameEnd));
        if (q == p) {
            // A single delimiter: "=" announces a value; "/", "?" or ">" end the tag.
            if (c == '=') {
                afterEquals = true;
                p = q + 1;
                continue;
            }
            end.stopPos = static_cast<int32_t>(tokenStart - text);
            pending.Hand(visit);  // the attribute before had no value
            return end;
        }
        if (pending.Hand(visit)) {  // the attribute before this name had no value
            return end;
        }
        if (elementName) {
            elementName = false;
        } else {
            pending.Hold(text, p, q);
        }
        p = q;
        if (!in.AtEnd(p) && *p == '=') {
            // The usual "name=" (the turn for the "=" token, taken at once).
            afterEquals = true;
            ++p;
        }
    }
}

// Runs the reader over text[tagStart..tagEnd), its final ">" left out.
template <class Visit>
AttributeEnd ReadTag(const char* text, int32_t tagStart, int32_t tagEnd, Visit visit) {
    int32_t limit = tagEnd;
    if (limit > tagStart && text[limit - 1] == '>') {
        --limit;
    }
    if (AnsiCharsAreSingleByte()) {
        return ReadAttributes(lexer::ByteSpan{text, text + limit}, tagStart, visit);
    }
    return ReadAttributes(lexer::CharText{text, text + limit, platform::AnsiCharLengths()},
                          tagStart, visit);
}

}  // namespace

int32_t ListAttributes(const char* text, int32_t tagStart, int32_t tagEnd, AttributeSpan* spans,
                       int32_t capacity, AttributeEnd* end) {
    int32_t count = 0;
    bool complete = true;
    AttributeEnd stopped = ReadTag(text, tagStart, tagEnd, [&](const AttributeSpan& span) {
        if (count == capacity) {
            complete = false;
            return true;
        }
        spans[count++] = span;
        return false;
    });
    if (end != nullptr) {
        stopped.complete = complete;
        *end = stopped;
    }
    return count;
}

void ListEveryAttribute(const char* text, int32_t tagStart, int32_t tagEnd,
                        std::vector<AttributeSpan>* spans) {
    spans->clear();
    ReadTag(text, tagStart, tagEnd, [&](const AttributeSpan& span) {
        spans->push_back(span);
        return false;
    });
}

bool FindAttribute(const char* text, int32_t tagStart, int32_t tagEnd, const char* name,
                   uint32_t flags, AttributeSpan* found, AttributeEnd* end) {
    bool matched = false;
    const AttributeEnd stopped = ReadTag(text, tagStart, tagEnd, [&](const AttributeSpan& span) {
        if (!MatchName(text, span.nameStart, span.nameStart + span.nameLength - 1, name, flags)) {
            return false;
        }
        *found = span;
        matched = true;
        return true;
    });
    if (!matched && end != nullptr) {
        *end = stopped;
    }
    return matched;
}
