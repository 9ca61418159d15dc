#include "platform/ansi.h"

#include "ansi_parts.h"

namespace platform {

const uint8_t* AnsiCharLengths() {
    static const struct Table {
        uint8_t lengths[256];
        Table() {
            for (uint8_t& length : lengths) {
                length = 1;
            }
            MarkAnsiLeadBytes(lengths);
        }
    } table;
    return table.lengths;
}

int EncodeAnsiCodePoint(uint32_t codePoint, char* out) {
    if (codePoint == 0 || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    return EncodeValidAnsiCodePoint(codePoint, out);
}

}  // namespace platform
