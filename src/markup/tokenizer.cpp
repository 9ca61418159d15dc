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

template <class Text>
TokenKind Scan(const Text& in, MarkupScanner& scanner, MarkupToken& token) {
    const lexer::MarkupRead m = lexer::Lex(in, in.t + scanner.pos, token.errors);
    if (m.nameLength >= 0) {
        scanner.nameStart = static_cast<int32_t>(m.name - in.t);
        scanner.nameEnd = scanner.nameStart + m.nameLength - 1;
    }
    if (m.empty) {
        token.flags |= kTokenEmptyElement;
    }
    scanner.pos = static_cast<int32_t>(m.next - in.t);
    token.kind = m.kind;
    token.length = scanner.pos - token.start;
    return m.kind;
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
    if (AnsiCharsAreSingleByte()) {
        // A text that ends with its zero byte at `end` is read without bounds checks.
        if (t[end] == '\0') {
            return Scan(lexer::ByteText{t, t + end}, scanner, token);
        }
        return Scan(lexer::ByteSpan{t, t + end}, scanner, token);
    }
    return Scan(lexer::CharText{t, t + end, platform::AnsiCharLengths()}, scanner, token);
}
