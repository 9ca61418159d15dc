// Code-page services for the XML engine's conversions.
//
// UTF-16 text is held in 16-bit units of machine byte order. Code page 0 is
// the ANSI code page of the running system (AnsiCodePage in platform/ansi.h):
// the Windows ANSI code page, and UTF-8 (65001) elsewhere. A code page the system cannot convert
// produces nothing (0), like a conversion that Windows rejects.
#pragma once

#include <cstdint>

namespace platform {

// Converts length bytes of codePage text into UTF-16. With a null buffer or a
// capacity of 0 only measures. Returns the units produced; 0 for an empty
// source, an unknown code page or a buffer that is too small. A byte sequence
// that is invalid becomes U+FFFD (UTF-8 source) or "?".
int MultiByteToUtf16(int codePage, const char* source, int length, uint16_t* buffer, int capacity);

// Converts length units of UTF-16 into codePage. With a null buffer or a
// capacity of 0 only measures. A character the code page cannot represent
// becomes its default character ("?"); when usedDefault is not null it is set
// to 1 when that happened and to 0 otherwise. Pass a null usedDefault for the
// code pages that refuse the question (see SkipsLossCheck). Returns the bytes
// produced; 0 for an empty source, an unknown code page or a buffer that is too small.
int Utf16ToMultiByte(int codePage, const uint16_t* source, int length, char* buffer, int capacity,
                     int32_t* usedDefault);

}  // namespace platform
