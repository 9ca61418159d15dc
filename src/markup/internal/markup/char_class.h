// The engine's one table of character classes: every reader of the document
// text (the lexer, the word and attribute readers, the name comparison) and
// both directions of escaping decide what a byte is by looking it up here.
// A byte may belong to several classes; each class is one bit.
#pragma once

#include <cstdint>

enum CharClass : uint16_t {
    kCharSpace = 0x0001,        // \t \n \r space: whitespace everywhere
    kCharNameStart = 0x0002,    // A-Z _ : and every byte above 0x60: may follow "<" in a start tag
    kCharNameEnd = 0x0004,      // whitespace / > \0: ends the name of a tag or a target
    kCharTextStop = 0x0008,     // < > \0: ends a run of character data or a declaration's body
    kCharBodyStop = 0x0010,     // > \0: ends a run inside comments, CDATA, targets and end tags
    kCharTagStop = 0x0020,      // = > \0: ends a run of plain bytes in a start tag, outside values
    kCharValueEnd = 0x0040,     // whitespace > \0: ends an unquoted value
    kCharWordEnd = 0x0080,      // whitespace ! " ' / ; < = > ? \ \0: ends a word (element names)
    kCharAttrNameEnd = 0x0100,  // whitespace / = > ? \0: ends an attribute name
    kCharNameDelim = 0x0200,    // space / = [ ] \0: may follow a matching name in a name argument
    kCharEscapeText = 0x0400,   // < & >: replaced by a reference in text
    kCharEscapeAttr = 0x0800,   // < & > " ': replaced by a reference in an attribute value
    kCharRefStart = 0x1000,     // # : _ A-Z a-z and 0x80 up: may start a reference after "&"
                                // (and, but for "#", a name that editing writes)
    kCharRefMore = 0x2000,      // - . 0-9 : _ A-Z a-z and 0x80 up: may continue either
};

namespace char_class_detail {

struct Table {
    uint16_t bits[256] = {};
    constexpr void Add(const char* bytes, uint16_t cls) {
        for (; *bytes != '\0'; ++bytes) {
            bits[static_cast<uint8_t>(*bytes)] |= cls;
        }
    }
    constexpr Table() {
        const uint16_t endsAtZero = kCharNameEnd | kCharTextStop | kCharBodyStop | kCharTagStop |
                                    kCharValueEnd | kCharWordEnd | kCharAttrNameEnd |
                                    kCharNameDelim;
        bits[0] = endsAtZero;
        Add("\t\n\r ", kCharSpace | kCharNameEnd | kCharValueEnd | kCharWordEnd | kCharAttrNameEnd);
        Add(" /=[]", kCharNameDelim);
        Add("/>", kCharNameEnd);
        Add("<>", kCharTextStop);
        Add(">", kCharBodyStop | kCharValueEnd);
        Add("=>", kCharTagStop);
        Add("!\"'/;<=>?\\", kCharWordEnd);
        Add("/=>?", kCharAttrNameEnd);
        Add("<&>", kCharEscapeText | kCharEscapeAttr);
        Add("\"'", kCharEscapeAttr);
        Add("#:_", kCharRefStart);
        Add("-.0123456789:_", kCharRefMore);
        Add("_:", kCharNameStart);
        for (int c = 'A'; c <= 'Z'; ++c) {
            bits[c] |= kCharNameStart | kCharRefStart | kCharRefMore;
        }
        for (int c = 'a'; c <= 'z'; ++c) {
            bits[c] |= kCharRefStart | kCharRefMore;
        }
        for (int c = 0x61; c < 256; ++c) {
            bits[c] |= kCharNameStart;
        }
        for (int c = 0x80; c < 256; ++c) {
            bits[c] |= kCharRefStart | kCharRefMore;
        }
    }
};

inline constexpr Table kTable{};

}  // namespace char_class_detail

// The classes of byte c.
inline uint16_t CharClassOf(char c) {
    return char_class_detail::kTable.bits[static_cast<uint8_t>(c)];
}

inline bool IsCharSpace(char c) {
    return (CharClassOf(c) & kCharSpace) != 0;
}
