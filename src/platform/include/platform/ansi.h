// The ANSI code page, the character set of the XML engine's 8-bit texts:
// its multibyte character lengths and the encoding of single code points.
#pragma once

#include <cstdint>

namespace platform {

// 256 entries: the byte length of a character that starts with each byte
// value (1 for single-byte characters and for every byte in single-byte and
// UTF-8 code pages, where no trail byte can look like a markup byte). Built
// once on first use; never null.
const uint8_t* AnsiCharLengths();

// The number of the ANSI code page (Win32: GetACP; POSIX: 65001, UTF-8).
int AnsiCodePage();

// Encodes `codePoint` in the ANSI code page into `out` (room for at least 8
// bytes). Returns the number of bytes written, or 0 when the code page has no
// character for it (the conversion would need the default character), when
// it is a surrogate, above U+10FFFF, or 0.
int EncodeAnsiCodePoint(uint32_t codePoint, char* out);

}  // namespace platform
