// The markup tokenizer: cuts 8-bit document text into tokens in place, one
// token per call, without copying. Syntax errors become result-report
// entries in MarkupToken::errors; the tokenizer never stops on bad input.
#pragma once

#include <cstdint>
#include <string>

enum class TokenKind : int32_t {
    EndOfText = -2,  // nothing left
    Error = -1,      // markup not recognised or not terminated
    EndTag = 0,
    StartTag = 1,
    Text = 2,        // character data with at least one non-whitespace byte
    Whitespace = 4,  // character data of whitespace only
    CDataSection = 8,
    ProcessingInstruction = 16,
    Comment = 32,
    DocumentType = 64,  // <!DOCTYPE ...>, or a markup declaration inside it
};

// Bit of MarkupToken::flags: the start tag ends in "/>".
constexpr uint32_t kTokenEmptyElement = 0x10000;
// Bit of MarkupScanner::flags set by the attribute reader while the last
// value it read was quoted.
constexpr uint32_t kScannerQuotedValue = 0x8000;

// Reading state over one text. The text ends at its first zero byte or at
// `end`, whichever comes first; nothing beyond `end` is ever read (the byte
// at `end` only to see whether it is the text's zero byte).
struct MarkupScanner {
    int32_t nameStart = 0;  // first byte of the last name read
    int32_t nameEnd = -1;   // last byte of that name
    int32_t pos = 0;        // where the next token begins
    const char* text = nullptr;
    uint32_t flags = 0;     // the document's flags (0x08: names ignore ASCII case)
    int32_t attrStart = 0;  // attribute reader: start of the found attribute, whitespace included
    int32_t attrSpace = 0;  // attribute reader: length of that whitespace
    int32_t end = 0;        // offset one past the last byte that may be read

    MarkupScanner() = default;
    // A scanner over `text[0..end)`; end -1 means up to the zero byte.
    MarkupScanner(const char* text, uint32_t flags, int32_t end = -1);
};

struct MarkupToken {
    TokenKind kind = TokenKind::EndOfText;
    int32_t start = 0;
    int32_t length = 0;
    uint32_t flags = 0;  // kTokenEmptyElement
    std::string errors;  // result entries appended by the tokenizer; the caller keeps it
};

// Reads one token at scanner.pos and moves pos past it. For StartTag, EndTag
// and ProcessingInstruction tokens nameStart..nameEnd delimit the name.
// Returns the token's kind; EndOfText (length 0) at the end of the text.
TokenKind ScanToken(MarkupScanner& scanner, MarkupToken& token);
