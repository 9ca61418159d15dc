#include "markup/tag_reader.h"

#include <cstring>

#include "markup/compare_text.h"
#include "markup/single_byte.h"
#include "platform/ansi.h"

namespace {

// Reader classes of each byte.
constexpr uint8_t kSpace = 0x01;        // TAB, LF, CR, space
constexpr uint8_t kWordEnd = 0x02;      // ends a word: whitespace ! " ' / ; < = > ? \ and zero
constexpr uint8_t kAttrNameEnd = 0x04;  // ends an attribute name: whitespace / = > ? and zero
constexpr uint8_t kValueEnd = 0x08;     // ends an unquoted value: whitespace > and zero
constexpr uint8_t kNameDelim = 0x10;  // may follow a matched name in a path: space / = [ ] and zero

struct ReaderClasses {
    uint8_t cls[256] = {};
    constexpr ReaderClasses() {
        for (int c : {'\t', '\n', '\r', ' '}) {
            cls[c] |= kSpace | kWordEnd | kAttrNameEnd | kValueEnd;
        }
        for (int c : {'!', '"', '\'', '/', ';', '<', '=', '>', '?', '\\', '\0'}) {
            cls[c] |= kWordEnd;
        }
        for (int c : {'/', '=', '>', '?', '\0'}) {
            cls[c] |= kAttrNameEnd;
        }
        cls[static_cast<int>('>')] |= kValueEnd;
        cls[0] |= kValueEnd;
        for (int c : {' ', '/', '=', '[', ']', '\0'}) {
            cls[c] |= kNameDelim;
        }
    }
};
constexpr ReaderClasses kReader;

inline uint8_t Class(char c) {
    return kReader.cls[static_cast<uint8_t>(c)];
}

}  // namespace

int32_t ReadWord(const char* text, int32_t pos, int32_t end, int32_t* wordStart) {
    while (pos < end && (Class(text[pos]) & kSpace)) {
        ++pos;
    }
    *wordStart = pos;
    if (pos >= end || text[pos] == '\0') {
        return 0;
    }
    if (Class(text[pos]) & kWordEnd) {
        return 1;
    }
    const uint8_t* charLength = platform::AnsiCharLengths();
    int32_t p = pos;
    while (p < end && (Class(text[p]) & kWordEnd) == 0) {
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
    return n == givenLength || (Class(given[n]) & kNameDelim) != 0;
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

// The attribute reader's one loop. Each name after the element's own for
// which `wanted(nameStart, nameEnd)` holds becomes the found attribute; once
// its value (or the lack of one) is known, `emit(match)` is called. When emit
// returns true the read ends with that match; otherwise reading goes on
// exactly as if that name had not been wanted. Returns the last found match,
// or the not-found state after the whole tag.
template <typename Wanted, typename Emit>
AttributeMatch ScanAttributes(const char* text, int32_t tagStart, int32_t tagEnd, Wanted wanted,
                              Emit emit) {
    AttributeMatch m;
    const uint8_t* charLength = platform::AnsiCharLengths();
    const bool singleByte = AnsiCharsAreSingleByte();
    // The final ">" ends the tag: reaching `limit` is the same as meeting it.
    int32_t limit = tagEnd;
    if (limit > tagStart && text[limit - 1] == '>') {
        --limit;
    }
    auto atEnd = [&](int32_t q) { return q >= limit || text[q] == '\0'; };
    auto step = [&](int32_t q) {
        q += charLength[static_cast<uint8_t>(text[q])];
        return q > limit ? limit : q;
    };
    bool elementName = true;  // the first name is the element's own
    bool afterEquals = false;
    int32_t p = tagStart + 1;
    for (;;) {
        const int32_t tokenStart = p;
        while (!atEnd(p) && (Class(text[p]) & kSpace)) {
            ++p;
        }
        if (atEnd(p)) {
            m.stopPos = tokenStart;
            m.danglingEquals = afterEquals;
            if (m.found) {
                if (afterEquals) {
                    // "name=" right before the end of the tag: an empty value.
                    m.hasValue = true;
                    m.valueStart = m.stretchStart = p;
                }
                emit(m);
            }
            return m;  // found without a value, or not found
        }
        const char c = text[p];
        if (c == '"' || c == '\'') {
            int32_t q = p + 1;
            if (singleByte) {
                // Every character is one byte: a plain loop finds the
                // closing quote; a zero byte before it ends the text there.
                while (q < limit && text[q] != c && text[q] != '\0') {
                    ++q;
                }
            }
            while (!atEnd(q) && text[q] != c) {
                q = step(q);
            }
            const bool closed = !atEnd(q);
            if (m.found) {
                m.hasValue = true;
                m.quoted = true;
                m.closed = closed;
                m.valueStart = p + 1;
                m.valueLength = q - (p + 1);
                m.stretchStart = p;
                m.stretchLength = (closed ? q + 1 : q) - p;
                if (emit(m)) {
                    return m;
                }
                m = AttributeMatch();
            }
            p = closed ? q + 1 : q;
            afterEquals = false;
            continue;
        }
        if (afterEquals) {
            int32_t q = p;
            while (!atEnd(q) && (Class(text[q]) & kValueEnd) == 0) {
                q = step(q);
            }
            if (m.found) {
                m.hasValue = true;
                m.valueStart = p;
                m.valueLength = q - p;
                m.stretchStart = p;
                m.stretchLength = q - p;
                if (emit(m)) {
                    return m;
                }
                m = AttributeMatch();
            }
            p = q;
            afterEquals = false;
            continue;
        }
        int32_t q = p;
        if (singleByte) {
            // The zero byte is itself a name end.
            while (q < limit && (Class(text[q]) & kAttrNameEnd) == 0) {
                ++q;
            }
        }
        while (!atEnd(q) && (Class(text[q]) & kAttrNameEnd) == 0) {
            q = step(q);
        }
        if (q == p) {
            // A single delimiter: "=" announces a value; "/", "?" or ">" end the tag.
            if (c == '=') {
                afterEquals = true;
                p = q + 1;
                continue;
            }
            m.stopPos = tokenStart;
            if (m.found) {
                emit(m);
            }
            return m;
        }
        if (m.found) {
            m.stopPos = tokenStart;
            if (emit(m)) {
                return m;  // the found attribute had no value
            }
            m = AttributeMatch();
        }
        if (elementName) {
            elementName = false;
        } else if (wanted(p, q - 1)) {
            m.found = true;
            m.nameStart = p;
            m.nameLength = q - p;
        }
        p = q;
    }
}

}  // namespace

AttributeMatch ReadAttribute(const char* text, int32_t tagStart, int32_t tagEnd, const char* name,
                             uint32_t flags) {
    return ScanAttributes(
        text, tagStart, tagEnd,
        [&](int32_t nameStart, int32_t nameEnd) {
            return MatchName(text, nameStart, nameEnd, name, flags);
        },
        [](const AttributeMatch&) { return true; });
}

namespace {

// ListAttributes for the usual start tag when every character is one byte:
// the element's name, then only name="value" pairs (whitespace allowed
// around "="). Returns false, having stored nothing that counts, at anything
// else (a name without value, an unquoted or unclosed value, a stray quote
// or "=", a zero byte); the general reader then lists the tag.
bool ListPlainAttributes(const char* text, int32_t tagStart, int32_t tagEnd, AttributeSpan* spans,
                         int32_t capacity, bool* complete, int32_t* count) {
    int32_t limit = tagEnd;
    if (limit > tagStart && text[limit - 1] == '>') {
        --limit;
    }
    auto skipSpaces = [&](int32_t p) {
        while (p < limit && (Class(text[p]) & kSpace)) {
            ++p;
        }
        return p;
    };
    auto skipName = [&](int32_t p) {
        while (p < limit && (Class(text[p]) & kAttrNameEnd) == 0) {
            ++p;
        }
        return p;
    };
    int32_t p = skipSpaces(tagStart + 1);
    if (p >= limit || (Class(text[p]) & kAttrNameEnd) || text[p] == '"' || text[p] == '\'') {
        return false;
    }
    p = skipName(p);  // the element's own name
    int32_t n = 0;
    for (;;) {
        p = skipSpaces(p);
        if (p >= limit || text[p] == '/' || text[p] == '?' || text[p] == '>') {
            *complete = true;
            *count = n;
            return true;
        }
        const char c = text[p];
        if (c == '\0' || c == '=' || c == '"' || c == '\'') {
            return false;
        }
        const int32_t nameStart = p;
        p = skipName(p);
        const int32_t nameLength = p - nameStart;
        p = skipSpaces(p);
        if (p >= limit || text[p] != '=') {
            return false;
        }
        p = skipSpaces(p + 1);
        if (p >= limit || (text[p] != '"' && text[p] != '\'')) {
            return false;
        }
        const char quote = text[p];
        const int32_t valueStart = p + 1;
        p = valueStart;
        while (p < limit && text[p] != quote && text[p] != '\0') {
            ++p;
        }
        if (p >= limit || text[p] != quote) {
            return false;
        }
        if (n == capacity) {
            *complete = false;
            *count = n;
            return true;
        }
        spans[n++] = AttributeSpan{nameStart, nameLength, valueStart, p - valueStart};
        ++p;
    }
}

}  // namespace

int32_t ListAttributes(const char* text, int32_t tagStart, int32_t tagEnd, AttributeSpan* spans,
                       int32_t capacity, bool* complete) {
    int32_t count = 0;
    if (AnsiCharsAreSingleByte() &&
        ListPlainAttributes(text, tagStart, tagEnd, spans, capacity, complete, &count)) {
        return count;
    }
    *complete = true;
    ScanAttributes(
        text, tagStart, tagEnd, [](int32_t, int32_t) { return true; },
        [&](const AttributeMatch& m) {
            if (count == capacity) {
                *complete = false;
                return true;
            }
            spans[count++] = AttributeSpan{m.nameStart, m.nameLength, m.valueStart,
                                           m.hasValue ? m.valueLength : -1};
            return false;
        });
    return count;
}

PathKind CheckPathSyntax(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        return PathKind::Any;
    }
    if (path[0] == '/') {
        return PathKind::Absolute;
    }
    const char* p = path;
    // A name: one or more bytes other than space / = [ ] and zero.
    auto name = [&]() {
        const char* from = p;
        while ((Class(*p) & kNameDelim) == 0) {
            ++p;
        }
        return p != from;
    };
    for (;;) {
        if (!name()) {
            return PathKind::Invalid;
        }
        if (*p == '[') {
            ++p;
            if (*p >= '1' && *p <= '9') {
                while (*p >= '0' && *p <= '9') {
                    ++p;
                }
            } else if (*p == '@') {
                ++p;
                if (!name()) {
                    return PathKind::Invalid;
                }
                if (*p == '=') {
                    ++p;
                    if (*p == '\'' || *p == '"') {
                        const char quote = *p++;
                        while (*p != '\0' && *p != quote) {
                            ++p;
                        }
                        if (*p != quote) {
                            return PathKind::Invalid;
                        }
                        ++p;
                    } else {
                        while (*p != '\0' && *p != ']') {
                            ++p;
                        }
                    }
                }
            } else if (!name()) {
                return PathKind::Invalid;
            }
            if (*p != ']') {
                return PathKind::Invalid;
            }
            ++p;
        }
        if (*p == '\0') {
            return PathKind::Relative;
        }
        if (*p != '/') {
            return PathKind::Invalid;
        }
        ++p;
        if (*p == '@') {
            ++p;
            if (!name()) {
                return PathKind::Invalid;
            }
            return *p == '\0' ? PathKind::Relative : PathKind::Invalid;
        }
    }
}
