// FindDeclaredEncoding: the encoding that the first bytes of a file name,
// in an XML declaration or in an HTML meta tag.
#include <cstring>

#include "markup/compare_text.h"
#include "markup/markup.h"
#include "markup/tag_reader.h"
#include "markup/text_file.h"
#include "markup/tokenizer.h"

namespace {

// Every name comparison of the scan ignores ASCII case.
constexpr uint32_t kScanFlags = kDocIgnoreCase;

bool NameIs(const MarkupScanner& scanner, const char* name) {
    return MatchName(scanner.text, scanner.nameStart, scanner.nameEnd, name, kScanFlags);
}

bool TextIs(const char* text, int32_t length, const char* expected) {
    return static_cast<size_t>(length) == std::strlen(expected) &&
           CompareText(text, expected, length, true) == 0;
}

// The charset named in a Content-Type value: the word after the words
// "charset" and "=". Empty when there is none.
std::string CharsetOf(const char* text, int32_t start, int32_t end) {
    bool afterCharset = false;
    bool afterEquals = false;
    int32_t pos = start;
    int32_t wordStart = 0;
    int32_t length;
    while ((length = ReadWord(text, pos, end, &wordStart)) > 0) {
        if (afterEquals) {
            return std::string(text + wordStart, static_cast<size_t>(length));
        }
        if (afterCharset && length == 1 && text[wordStart] == '=') {
            afterEquals = true;
        } else {
            afterCharset = TextIs(text + wordStart, length, "charset");
        }
        pos = wordStart + length;
    }
    return std::string();
}

}  // namespace

std::string FindDeclaredEncoding(const std::string& text) {
    const char* const bytes = text.c_str();
    MarkupScanner scanner(bytes, kScanFlags, static_cast<int32_t>(text.size()));
    MarkupToken token;
    bool inHtml = false;
    for (;;) {
        const TokenKind kind = ScanToken(scanner, token);
        const int32_t tagEnd = token.start + token.length;
        if (kind == TokenKind::EndOfText) {
            return std::string();
        }
        if (kind == TokenKind::ProcessingInstruction) {
            if (token.start == 0 && NameIs(scanner, "xml")) {
                AttributeSpan encoding;
                return FindAttribute(bytes, token.start + 1, tagEnd, "encoding", kScanFlags,
                                     &encoding, nullptr) &&
                               encoding.valueLength >= 0
                           ? std::string(bytes + encoding.valueStart,
                                         static_cast<size_t>(encoding.valueLength))
                           : std::string();
            }
        } else if (kind == TokenKind::EndTag) {
            if (NameIs(scanner, "head")) {
                return std::string();
            }
        } else if (kind == TokenKind::StartTag) {
            if (!inHtml) {
                if (!NameIs(scanner, "html")) {
                    return std::string();
                }
                inHtml = true;
            } else if (NameIs(scanner, "meta")) {
                AttributeSpan equiv;
                if (FindAttribute(bytes, token.start, tagEnd, "http-equiv", kScanFlags, &equiv,
                                  nullptr) &&
                    equiv.valueLength >= 0 &&
                    TextIs(bytes + equiv.valueStart, equiv.valueLength, "Content-Type")) {
                    AttributeSpan content;
                    if (!FindAttribute(bytes, token.start, tagEnd, "content", kScanFlags, &content,
                                       nullptr) ||
                        content.valueLength < 0) {
                        return std::string();
                    }
                    return CharsetOf(bytes, content.valueStart,
                                     content.valueStart + content.valueLength);
                }
            }
        }
    }
}
