#include "markup/tokenizer.h"

#include <cstring>

#include "markup/lexer.h"
#include "markup/single_byte.h"
#include "platform/ansi.h"

MarkupScanner::MarkupScanner(const char* text_, uint32_t flags_, int32_t end_)
    : text(text_), flags(flags_) {
    if (end_ < 0) {
        end_ = text_ == nullptr ? 0 : static_cast<int32_t>(std::strlen(text_));
    }
    end = end_;
}

namespace {

// Writes what the lexer read into the token and the scanner.
struct TokenSink {
    MarkupScanner& scanner;
    MarkupToken& token;

    void Finish(TokenKind kind, int32_t next) {
        scanner.pos = next;
        token.kind = kind;
        token.length = next - token.start;
    }
    void Names(const lexer::MarkupContext& cx) {
        if (cx.named) {
            scanner.nameStart = cx.name.start;
            scanner.nameEnd = cx.name.last;
        }
        if (cx.empty) {
            token.flags |= kTokenEmptyElement;
        }
    }
    void CharData(TokenKind kind, int32_t, int32_t next) { Finish(kind, next); }
    void StartTag(int32_t, int32_t next, const lexer::MarkupContext& cx) {
        Names(cx);
        Finish(TokenKind::StartTag, next);
    }
    void EndTag(int32_t, int32_t next, const lexer::MarkupContext& cx) {
        Names(cx);
        Finish(TokenKind::EndTag, next);
    }
    void Markup(TokenKind kind, int32_t, int32_t next, const lexer::MarkupContext& cx) {
        Names(cx);
        Finish(kind, next);
    }
};

template <class Text>
TokenKind Scan(const Text& in, MarkupScanner& scanner, MarkupToken& token) {
    TokenSink sink{scanner, token};
    lexer::LexToken(in, scanner.pos, token.errors, sink);
    return token.kind;
}

}  // namespace

TokenKind ScanToken(MarkupScanner& scanner, MarkupToken& token) {
    const char* const t = scanner.text;
    const int32_t end = t == nullptr ? 0 : scanner.end;
    token.start = scanner.pos;
    token.flags = 0;
    if (scanner.pos >= end || t[scanner.pos] == '\0') {
        token.kind = TokenKind::EndOfText;
        token.length = 0;
        return token.kind;
    }
    // A text that ends with its zero byte at `end` is read without bounds checks.
    if (AnsiCharsAreSingleByte() && t[end] == '\0') {
        return Scan(lexer::ByteText{t, end}, scanner, token);
    }
    return Scan(lexer::CharText{t, end, platform::AnsiCharLengths()}, scanner, token);
}
