#include "markup/tag_reader.h"

#include <cstring>

#include "markup/char_class.h"
#include "markup/compare_text.h"
#include "markup/lexer.h"
#include "markup/single_byte.h"
#include "platform/ansi.h"

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

// The attribute reader's one loop over the start tag in.t[tagStart..] up to
// in.end (the final ">" already left out). Calls visit(span) for each
// attribute after the element's own name, in order, until visit returns
// true; returns where the reading stopped.
template <class Text, class Visit>
AttributeEnd ReadAttributes(const Text& in, int32_t tagStart, Visit visit) {
    const char* const text = in.t;
    AttributeEnd end;
    AttributeSpan pending;  // the last attribute name read, while its value is not yet known
    bool hasPending = false;
    bool elementName = true;  // the first name is the element's own
    bool afterEquals = false;
    const char* p = text + tagStart + 1;
    for (;;) {
        const char* const tokenStart = p;
        while (!in.AtEnd(p) && IsCharSpace(*p)) {
            ++p;
        }
        if (in.AtEnd(p)) {
            end.stopPos = static_cast<int32_t>(tokenStart - text);
            end.danglingEquals = afterEquals;
            if (hasPending) {
                if (afterEquals) {
                    // "name=" right before the end of the tag: an empty value.
                    pending.valueStart = static_cast<int32_t>(p - text);
                    pending.valueLength = 0;
                }
                visit(pending);
            }
            return end;
        }
        const char c = *p;
        const char* q;
        if (c == '"' || c == '\'') {
            // A quoted value: up to the matching quote or the end of the tag.
            q = in.Clip(in.SkipTo(p + 1, c));
            const bool closed = !in.AtEnd(q);
            if (hasPending) {
                pending.quoted = true;
                pending.closed = closed;
                pending.valueStart = static_cast<int32_t>(p + 1 - text);
                pending.valueLength = static_cast<int32_t>(q - (p + 1));
                hasPending = false;
                if (visit(pending)) {
                    return end;
                }
            }
            p = closed ? q + 1 : q;
            afterEquals = false;
            continue;
        }
        if (afterEquals) {
            // An unquoted value: up to whitespace or ">".
            q = in.Clip(in.Skip(p, kCharValueEnd));
            if (hasPending) {
                pending.valueStart = static_cast<int32_t>(p - text);
                pending.valueLength = static_cast<int32_t>(q - p);
                hasPending = false;
                if (visit(pending)) {
                    return end;
                }
            }
            p = q;
            afterEquals = false;
            continue;
        }
        q = in.Clip(in.Skip(p, kCharAttrNameEnd));
        if (q == p) {
            // A single delimiter: "=" announces a value; "/", "?" or ">" end the tag.
            if (c == '=') {
                afterEquals = true;
                p = q + 1;
                continue;
            }
            end.stopPos = static_cast<int32_t>(tokenStart - text);
            if (hasPending) {
                visit(pending);
            }
            return end;
        }
        if (hasPending) {
            // The attribute before this name had no value.
            hasPending = false;
            if (visit(pending)) {
                return end;
            }
        }
        if (elementName) {
            elementName = false;
        } else {
            pending.nameStart = static_cast<int32_t>(p - text);
            pending.nameLength = static_cast<int32_t>(q - p);
            pending.valueLength = -1;
            pending.quoted = false;
            pending.closed = false;
            hasPending = true;
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
