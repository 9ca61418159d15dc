// UTF-8 encoding of one code point. Plain arithmetic, no operating-system
// call: the one encoder of the code-page layer and the XML engine.
#pragma once

#include <cstdint>

namespace platform {

// Bytes the UTF-8 form of `codePoint` takes: 1 to 4.
constexpr int Utf8Length(uint32_t codePoint) {
    return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
}

// Writes the Utf8Length(codePoint) bytes of `codePoint` to `out` and returns
// their number. Surrogates and values above U+10FFFF are not refused here:
// callers that must refuse them check first.
inline int WriteUtf8(uint32_t codePoint, char* out) {
    const int count = Utf8Length(codePoint);
    if (count == 1) {
        out[0] = static_cast<char>(codePoint);
        return 1;
    }
    static constexpr unsigned char kLead[5] = {0, 0, 0xC0, 0xE0, 0xF0};
    static constexpr uint32_t kLeadBits[5] = {0, 0, 0x1F, 0x0F, 0x07};
    out[0] =
        static_cast<char>(kLead[count] | ((codePoint >> (6 * (count - 1))) & kLeadBits[count]));
    for (int i = 1; i < count; ++i) {
        out[i] = static_cast<char>(0x80 | ((codePoint >> (6 * (count - 1 - i))) & 0x3F));
    }
    return count;
}

}  // namespace platform
