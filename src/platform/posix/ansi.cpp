#include "platform/ansi.h"

namespace platform {

// The document character set on POSIX is UTF-8: no lead byte can hide a
// markup byte in its trail, so every scanning step is one byte.
const uint8_t* AnsiCharLengths() {
    static const struct Table {
        uint8_t lengths[256];
        Table() {
            for (uint8_t& length : lengths) {
                length = 1;
            }
        }
    } table;
    return table.lengths;
}

int AnsiCodePage() {
    return 65001;
}

int EncodeAnsiCodePoint(uint32_t codePoint, char* out) {
    if (codePoint == 0 || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    if (codePoint < 0x80) {
        out[0] = static_cast<char>(codePoint);
        return 1;
    }
    if (codePoint < 0x800) {
        out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
        out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
        out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (codePoint >> 18));
    out[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 4;
}

}  // namespace platform
