#include "markup/tokenizer.h"

#include <cstring>

#include "markup/result_report.h"
#include "markup/single_byte.h"
#include "platform/ansi.h"
#include "platform/compiler.h"

namespace {

// Character classes of the tokenizer, one table lookup per byte.
constexpr uint8_t kClassSpace = 0x01;      // TAB, LF, CR, space
constexpr uint8_t kClassNameStart = 0x02;  // A-Z, "_", ":", every byte above 0x60
constexpr uint8_t kClassNameEnd = 0x04;    // whitespace, "/", ">" and the zero byte
constexpr uint8_t kClassTextStop = 0x08;   // "<", ">" and the zero byte end a text run
constexpr uint8_t kClassBodyStop = 0x10;   // ">" and the zero byte: inside comments, CDATA, PIs
constexpr uint8_t kClassAttrStop = 0x20;   // ends an attribute name: whitespace = > / quotes, zero

struct CharClasses {
    uint8_t cls[256] = {};
    constexpr CharClasses() {
        for (int c : {'\t', '\n', '\r', ' '}) {
            cls[c] |= kClassSpace | kClassNameEnd;
        }
        for (int c = 'A'; c <= 'Z'; ++c) {
            cls[c] |= kClassNameStart;
        }
        cls[static_cast<int>('_')] |= kClassNameStart;
        cls[static_cast<int>(':')] |= kClassNameStart;
        for (int c = 0x61; c < 256; ++c) {
            cls[c] |= kClassNameStart;
        }
        cls[static_cast<int>('/')] |= kClassNameEnd;
        cls[static_cast<int>('>')] |= kClassNameEnd | kClassTextStop | kClassBodyStop;
        cls[static_cast<int>('<')] |= kClassTextStop;
        cls[0] |= kClassNameEnd | kClassTextStop | kClassBodyStop;
        for (int c : {'\t', '\n', '\r', ' ', '=', '>', '/', '"', '\'', '\0'}) {
            cls[c] |= kClassAttrStop;
        }
    }
};
constexpr CharClasses kClasses;

// Scanner state bits.
constexpr uint32_t kStateLt = 0x001;        // "<" read; the next byte decides
constexpr uint32_t kStateBang = 0x002;      // "<!" read
constexpr uint32_t kStateDash = 0x004;      // "<!-" read
constexpr uint32_t kStateBracket = 0x008;   // "<![" read
constexpr uint32_t kStateSpaceRun = 0x010;  // whitespace character data
constexpr uint32_t kStateDoctype = 0x020;   // inside a document type declaration
constexpr uint32_t kStateSingle = 0x040;    // inside a single-quoted value
constexpr uint32_t kStateDouble = 0x080;    // inside a double-quoted value
constexpr uint32_t kStateEquals = 0x100;    // "=" read in a tag; a value is expected
constexpr uint32_t kStateUnquoted = 0x200;  // inside an unquoted value
constexpr uint32_t kStateQuoted = kStateSingle | kStateDouble;
constexpr uint32_t kStateInValue = kStateSingle | kStateDouble | kStateUnquoted;

inline bool IsSpace(uint8_t c) {
    return (kClasses.cls[c] & kClassSpace) != 0;
}

const char* UnterminatedType(TokenKind kind, uint32_t state) {
    if ((state & kStateDoctype) != 0 || kind == TokenKind::DocumentType) {
        return "document_type";
    }
    switch (kind) {
        case TokenKind::StartTag:
            return "start_tag";
        case TokenKind::EndTag:
            return "end_tag";
        case TokenKind::CDataSection:
            return "cdata_section";
        case TokenKind::ProcessingInstruction:
            return "processing_instruction";
        case TokenKind::Comment:
            return "comment";
        default:
            return "tag";
    }
}

// Offset of the first byte in t[p..end) whose class has one of `stop`
// bits, or `end`; for single-byte code pages only.
inline int32_t SkipToClass(const char* t, int32_t p, int32_t end, const uint8_t* cls,
                           uint8_t stop) {
    while (p < end && (cls[static_cast<uint8_t>(t[p])] & stop) == 0) {
        ++p;
    }
    return p;
}

// The end of a text run from p: the first "<", ">" or zero byte, or `end`.
// Short runs are read byte by byte; a long one is searched with memchr, one
// pass per stop byte, each over what the previous pass left.
inline int32_t SkipTextRun(const char* t, int32_t p, int32_t end, const uint8_t* cls) {
    constexpr int32_t kShortRun = 32;
    const int32_t shortEnd = end - p > kShortRun ? p + kShortRun : end;
    p = SkipToClass(t, p, shortEnd, cls, kClassTextStop);
    if (p < shortEnd || p == end) {
        return p;
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

// The tokens that make up nearly every document, read straight through when
// every character is one byte: a start tag whose attributes all have quoted
// values, an end tag, text and whitespace. Anything else (comments,
// declarations, unquoted values, unterminated tags, stray "/") returns false
// before changing anything, and the general scanner reads the token from its
// start; both give the same token for every input this accepts.
bool ScanCommonToken(MarkupScanner& scanner, MarkupToken& token, const uint8_t* cls,
                     TokenKind* kind) {
    const char* const t = scanner.text;
    if (t == nullptr) {
        return false;
    }
    const int32_t end = scanner.end;
    const int32_t p = scanner.pos;
    if (p >= end || t[p] == '\0') {
        return false;
    }
    auto finish = [&](TokenKind k, int32_t at, uint32_t flags) {
        scanner.pos = at;
        token.kind = k;
        token.start = p;
        token.length = at - p;
        token.flags = flags;
        *kind = k;
        return true;
    };
    const uint8_t c = static_cast<uint8_t>(t[p]);
    if (c != '<') {
        int32_t q = p;
        if (cls[c] & kClassSpace) {
            q = p + 1;
            while (q < end && (cls[static_cast<uint8_t>(t[q])] & kClassSpace)) {
                ++q;
            }
            if (q >= end || t[q] == '<' || t[q] == '\0') {
                return finish(TokenKind::Whitespace, q, 0);
            }
        }
        // Text: its first byte is taken whatever it is; it runs to a "<"
        // (excluded) or a ">" (included).
        q = SkipTextRun(t, q + 1, end, cls);
        if (q < end && t[q] == '>') {
            ++q;
        }
        return finish(TokenKind::Text, q, 0);
    }
    if (p + 1 >= end) {
        return false;
    }
    const uint8_t second = static_cast<uint8_t>(t[p + 1]);
    if (second == '/') {
        int32_t q = SkipToClass(t, p + 2, end, cls, kClassNameEnd);
        if (q >= end || t[q] == '\0') {
            return false;
        }
        const int32_t nameEnd = q - 1;
        if (t[q] != '>') {
            q = SkipToClass(t, q + 1, end, cls, kClassBodyStop);
            if (q >= end || t[q] != '>') {
                return false;
            }
        }
        scanner.nameStart = p + 2;
        scanner.nameEnd = nameEnd;
        return finish(TokenKind::EndTag, q + 1, 0);
    }
    if ((cls[second] & kClassNameStart) == 0) {
        return false;
    }
    int32_t q = SkipToClass(t, p + 2, end, cls, kClassNameEnd);
    const int32_t nameEnd = q - 1;
    for (;;) {
        if (q >= end) {
            return false;
        }
        const uint8_t b = static_cast<uint8_t>(t[q]);
        if ((cls[b] & kClassAttrStop) == 0) {
            // An attribute name, or any other run of ordinary bytes.
            q = SkipToClass(t, q + 1, end, cls, kClassAttrStop);
            continue;
        }
        if (cls[b] & kClassSpace) {
            ++q;
            continue;
        }
        if (b == '>' || (b == '/' && q + 1 < end && t[q + 1] == '>')) {
            scanner.nameStart = p + 1;
            scanner.nameEnd = nameEnd;
            return b == '>' ? finish(TokenKind::StartTag, q + 1, 0)
                            : finish(TokenKind::StartTag, q + 2, kTokenEmptyElement);
        }
        if (b != '=') {
            return false;  // a quote without "=", a lone "/", or the zero byte
        }
        ++q;
        while (q < end && (cls[static_cast<uint8_t>(t[q])] & kClassSpace)) {
            ++q;
        }
        if (q >= end || (t[q] != '"' && t[q] != '\'')) {
            return false;  // an unquoted value
        }
        const char quote = t[q++];
        while (q < end && t[q] != quote && t[q] != '\0') {
            ++q;
        }
        if (q >= end || t[q] == '\0') {
            return false;
        }
        ++q;
    }
}

}  // namespace

namespace {
TokenKind ScanAnyToken(MarkupScanner& scanner, MarkupToken& token);
}  // namespace

MarkupScanner::MarkupScanner(const char* text_, uint32_t flags_, int32_t end_)
    : text(text_), flags(flags_) {
    if (end_ < 0) {
        end_ = text_ == nullptr ? 0 : static_cast<int32_t>(std::strlen(text_));
    }
    end = end_;
}

bool ScanSimpleToken(MarkupScanner& scanner, MarkupToken& token, TokenKind* kind) {
    return ScanCommonToken(scanner, token, kClasses.cls, kind);
}

TokenKind ScanToken(MarkupScanner& scanner, MarkupToken& token) {
    if (AnsiCharsAreSingleByte()) {
        TokenKind common;
        if (ScanCommonToken(scanner, token, kClasses.cls, &common)) {
            return common;
        }
    }
    return ScanAnyToken(scanner, token);
}

namespace {

// Every token, byte by byte through the scanner's states.
ZELK_NOINLINE TokenKind ScanAnyToken(MarkupScanner& scanner, MarkupToken& token) {
    const char* const t = scanner.text;
    const int32_t end = t == nullptr ? 0 : scanner.end;
    const uint8_t* const charLength = platform::AnsiCharLengths();
    const uint8_t* const cls = kClasses.cls;
    const bool singleByte = AnsiCharsAreSingleByte();

    int32_t p = scanner.pos;
    token.start = p;
    token.flags = 0;
    TokenKind kind = TokenKind::Error;
    uint32_t state = 0;
    const char* terminator = "";   // the bytes expected before the final ">"
    int32_t terminatorLength = 0;  // 0: no terminator expected
    int32_t bodyStart = 0;  // a terminator may not overlap the opener that precedes this offset
    int32_t pendingName = -1;
    uint8_t last1 = 0;  // last byte seen inside a tag
    uint8_t last2 = 0;  // the byte before it

    auto finish = [&](TokenKind k, int32_t at) {
        scanner.pos = at;
        token.kind = k;
        token.length = at - token.start;
        return k;
    };
    // A syntax error: the token becomes Error and runs to the next ">"
    // (included) or "<" (excluded). Returns true when the current byte is
    // itself one of them and must be looked at again.
    auto syntaxError = [&](const char* entry, uint8_t c) {
        AddReportEntry(token.errors, entry, nullptr, 0, token.start);
        kind = TokenKind::Error;
        terminator = ">";
        terminatorLength = 1;
        return c == '<' || c == '>';
    };

    for (;;) {
        if (p >= end || t[p] == '\0') {
            if (p > end) {
                p = end;  // a multibyte step ran over the end
            }
            if (p == token.start) {
                return finish(TokenKind::EndOfText, p);
            }
            if (kind == TokenKind::Text || kind == TokenKind::Whitespace) {
                return finish(kind, p);
            }
            AddReportEntry(token.errors, "unterminated_tag_syntax", UnterminatedType(kind, state),
                           kReportValueType, token.start);
            return finish(TokenKind::Error, p);
        }
        const uint8_t c = static_cast<uint8_t>(t[p]);

        if (pendingName >= 0) {
            if ((cls[c] & kClassNameEnd) == 0) {
                if (singleByte) {
                    p = SkipToClass(t, p + 1, end, cls, kClassNameEnd);
                    continue;
                }
                p += charLength[c];
                while (p < end && (cls[static_cast<uint8_t>(t[p])] & kClassNameEnd) == 0) {
                    p += charLength[static_cast<uint8_t>(t[p])];
                }
                continue;
            }
            scanner.nameStart = pendingName;
            scanner.nameEnd = p - 1;
            pendingName = -1;
            last1 = last2 = 0;
            // The name-end byte is handled below; a terminator is always set here.
        }

        if (terminatorLength > 0) {
            if (c == '>' && (state & kStateQuoted) == 0) {
                const int32_t lead = terminatorLength - 1;
                const bool met = lead == 0 || (p - lead >= bodyStart &&
                                               std::memcmp(t + p - lead, terminator,
                                                           static_cast<size_t>(lead)) == 0);
                if (met) {
                    if (kind == TokenKind::StartTag && last1 == '/' &&
                        ((state & kStateUnquoted) == 0 || IsSpace(last2) || last2 == '"' ||
                         last2 == '\'')) {
                        token.flags |= kTokenEmptyElement;
                    }
                    ++p;
                    if ((state & kStateDoctype) == 0) {
                        return finish(kind, p);
                    }
                    // Nested markup of an internal subset: the declaration goes on.
                    terminatorLength = 0;
                    state = kStateDoctype;
                    continue;
                }
                state &= ~kStateUnquoted;
                ++p;
                continue;
            }
            if (c == '<' && (kind == TokenKind::Text || kind == TokenKind::Error)) {
                if ((state & kStateDoctype) == 0) {
                    return finish(kind, p);
                }
                // An error inside an internal subset ends at the next markup.
                terminatorLength = 0;
                state = kStateDoctype | kStateLt;
                ++p;
                continue;
            }
            if (kind == TokenKind::StartTag || kind == TokenKind::Error) {
                if ((state & kStateInValue) != 0) {
                    if ((c == '"' && (state & kStateDouble)) ||
                        (c == '\'' && (state & kStateSingle)) ||
                        (IsSpace(c) && (state & kStateUnquoted))) {
                        state &= ~kStateInValue;
                    } else if (kind == TokenKind::StartTag && (state & kStateQuoted) != 0) {
                        // Skip the rest of a quoted value up to its closing quote.
                        const char quote = (state & kStateDouble) ? '"' : '\'';
                        if (singleByte && p + 1 < end) {
                            // The closing quote by memchr; a zero byte before it ends the text.
                            ++p;
                            const void* q = std::memchr(t + p, quote, static_cast<size_t>(end - p));
                            const int32_t stop =
                                q == nullptr
                                    ? end
                                    : static_cast<int32_t>(static_cast<const char*>(q) - t);
                            const void* z = std::memchr(t + p, '\0', static_cast<size_t>(stop - p));
                            p = z == nullptr
                                    ? stop
                                    : static_cast<int32_t>(static_cast<const char*>(z) - t);
                            last1 = last2 = 0;
                            continue;
                        }
                        p += charLength[c];
                        while (p < end && t[p] != quote && t[p] != '\0') {
                            p += charLength[static_cast<uint8_t>(t[p])];
                        }
                        last1 = last2 = 0;
                        continue;
                    }
                } else if ((state & kStateEquals) != 0) {
                    if (c == '"') {
                        state = (state & ~kStateEquals) | kStateDouble;
                    } else if (c == '\'') {
                        state = (state & ~kStateEquals) | kStateSingle;
                    } else if (!IsSpace(c)) {
                        state = (state & ~kStateEquals) | kStateUnquoted;
                    }
                } else if (c == '=' && last1 != '=') {
                    state |= kStateEquals;
                }
                last2 = last1;
                last1 = c;
            } else if (kind == TokenKind::DocumentType) {
                if (c == '"' && (state & kStateSingle) == 0) {
                    state ^= kStateDouble;
                } else if (c == '\'' && (state & kStateDouble) == 0) {
                    state ^= kStateSingle;
                }
            } else if (kind == TokenKind::Text) {
                if (singleByte) {
                    p = SkipToClass(t, p + 1, end, cls, kClassTextStop);
                    continue;
                }
                p += charLength[c];
                while (p < end && (cls[static_cast<uint8_t>(t[p])] & kClassTextStop) == 0) {
                    p += charLength[static_cast<uint8_t>(t[p])];
                }
                continue;
            } else {
                // Comment, CDATA section, processing instruction, end tag: only ">" matters.
                if (singleByte) {
                    p = SkipToClass(t, p + 1, end, cls, kClassBodyStop);
                    continue;
                }
                p += charLength[c];
                while (p < end && (cls[static_cast<uint8_t>(t[p])] & kClassBodyStop) == 0) {
                    p += charLength[static_cast<uint8_t>(t[p])];
                }
                continue;
            }
            p += charLength[c];
            continue;
        }

        if (state & kStateSpaceRun) {
            if (c == '<') {
                return finish(TokenKind::Whitespace, p);
            }
            if (IsSpace(c)) {
                ++p;
                while (p < end && IsSpace(static_cast<uint8_t>(t[p]))) {
                    ++p;
                }
                continue;
            }
            state &= ~kStateSpaceRun;
            kind = TokenKind::Text;
            terminator = "<";
            terminatorLength = 1;
            p += charLength[c];
            continue;
        }

        if (state & kStateLt) {
            state &= ~kStateLt;
            if (cls[c] & kClassNameStart) {
                kind = TokenKind::StartTag;
                terminator = ">";
                terminatorLength = 1;
                pendingName = p;
                p += charLength[c];
            } else if (c == '/') {
                kind = TokenKind::EndTag;
                terminator = ">";
                terminatorLength = 1;
                pendingName = ++p;
            } else if (c == '!') {
                state |= kStateBang;
                ++p;
            } else if (c == '?') {
                kind = TokenKind::ProcessingInstruction;
                terminator = "?>";
                terminatorLength = 2;
                pendingName = ++p;
                bodyStart = p;
            } else if (!syntaxError("first_tag_syntax", c)) {
                p += charLength[c];
            }
            continue;
        }

        if (state & kStateBang) {
            state &= ~kStateBang;
            bool again = false;
            if (c == '-') {
                state |= kStateDash;
            } else if (state & kStateDoctype) {
                if (c == 'A' || c == 'E' || c == 'N') {
                    kind = TokenKind::DocumentType;
                    terminator = ">";
                    terminatorLength = 1;
                } else {
                    again = syntaxError("doctype_tag_syntax", c);
                }
            } else if (c == '[') {
                state |= kStateBracket;
            } else if (c == 'D') {
                state |= kStateDoctype;
                kind = TokenKind::DocumentType;
            } else {
                again = syntaxError("exclamation_tag_syntax", c);
            }
            if (!again) {
                p += charLength[c];
            }
            continue;
        }

        if (state & kStateDash) {
            state &= ~kStateDash;
            if (c == '-') {
                kind = TokenKind::Comment;
                terminator = "--";
                terminatorLength = 3;
                bodyStart = ++p;
            } else if (!syntaxError("comment_tag_syntax", c)) {
                p += charLength[c];
            }
            continue;
        }

        if (state & kStateBracket) {
            state &= ~kStateBracket;
            if (c == 'C') {
                kind = TokenKind::CDataSection;
                terminator = "]]";
                terminatorLength = 3;
                bodyStart = ++p;
            } else if (!syntaxError("cdata_section_syntax", c)) {
                p += charLength[c];
            }
            continue;
        }

        if (state & kStateDoctype) {
            if (c == '<') {
                state |= kStateLt;
            } else if (c == '>') {
                return finish(TokenKind::DocumentType, p + 1);
            }
            p += charLength[c];
            continue;
        }

        // Between tokens.
        if (c == '<') {
            state |= kStateLt;
            ++p;
        } else if (IsSpace(c)) {
            kind = TokenKind::Whitespace;
            state |= kStateSpaceRun;
            ++p;
        } else {
            kind = TokenKind::Text;
            terminator = "<";
            terminatorLength = 1;
            p += charLength[c];
        }
    }
}

}  // namespace
