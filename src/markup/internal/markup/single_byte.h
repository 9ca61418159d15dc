// Whether every character of the ANSI code page is one byte long (single-byte
// and UTF-8 code pages). The engine's scanning loops then search runs with
// memchr or class tables instead of stepping by each character's length.
#pragma once

#include "platform/ansi.h"

inline bool AnsiCharsAreSingleByte() {
    static const bool singleByte = [] {
        const uint8_t* charLength = platform::AnsiCharLengths();
        for (int c = 0; c < 256; ++c) {
            if (charLength[c] != 1) {
                return false;
            }
        }
        return true;
    }();
    return singleByte;
}
