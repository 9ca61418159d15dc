#include "platform/ansi.h"

#include "platform/utf8.h"

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
    return WriteUtf8(codePoint, out);
}

}  // namespace platform
