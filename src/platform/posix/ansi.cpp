#include "platform/ansi.h"

#include "ansi_parts.h"
#include "platform/utf8.h"

namespace platform {

// The document character set on POSIX is UTF-8: no lead byte can hide a
// markup byte in its trail, so every scanning step is one byte.
void MarkAnsiLeadBytes(uint8_t /*lengths*/[256]) {}

int AnsiCodePage() {
    return 65001;
}

int EncodeValidAnsiCodePoint(uint32_t codePoint, char* out) {
    return WriteUtf8(codePoint, out);
}

}  // namespace platform
