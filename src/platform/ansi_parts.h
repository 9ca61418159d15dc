// What each platform supplies to the ANSI code-page services of ansi.h,
// which are written once in ansi_common.cpp.
#pragma once

#include <cstdint>

namespace platform {

// Sets the length of every lead byte of the ANSI code page to 2 in
// `lengths`, which holds 1 for every byte value when called.
void MarkAnsiLeadBytes(uint8_t lengths[256]);

// Encodes a code point that is neither 0, a surrogate nor above U+10FFFF;
// as EncodeAnsiCodePoint.
int EncodeValidAnsiCodePoint(uint32_t codePoint, char* out);

}  // namespace platform
