// SystemFacts written out for the tests of pure code: a POSIX system, and a
// Windows one with either a single-byte or a double-byte ANSI code page, so
// that each system's rules are tested on every host.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "supervision/system_facts.h"

namespace testing_support {

// Dotted IPv4 as the socket libraries read it: four decimal numbers up to
// 255, no leading zero, nothing else.
inline bool ParseDottedIpv4(const char* text, uint32_t* address) {
    uint8_t bytes[4] = {};
    const char* at = text;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && *at++ != '.') {
            return false;
        }
        const char* const start = at;
        int value = 0;
        for (; *at >= '0' && *at <= '9' && at - start < 3; ++at) {
            value = value * 10 + (*at - '0');
        }
        if (at == start || value > 255 || (at - start > 1 && *start == '0')) {
            return false;
        }
        bytes[part] = static_cast<uint8_t>(value);
    }
    if (*at != '\0') {
        return false;
    }
    std::memcpy(address, bytes, sizeof bytes);
    return true;
}

// `value` with its high byte first in memory.
inline uint16_t NetworkOrder16(uint16_t value) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    uint16_t out = 0;
    std::memcpy(&out, bytes, sizeof out);
    return out;
}

inline std::string ErrorTextOf(int32_t code) {
    return "text of error " + std::to_string(code);
}

// Character lengths: every byte one character, or the lead bytes of code
// page 936 (0x81 to 0xFE) two.
inline const uint8_t* SingleByteLengths() {
    static const struct Table {
        uint8_t lengths[256];
        Table() { std::memset(lengths, 1, sizeof lengths); }
    } table;
    return table.lengths;
}
inline const uint8_t* DoubleByteLengths() {
    static const struct Table {
        uint8_t lengths[256];
        Table() {
            for (int b = 0; b < 256; ++b) {
                lengths[b] = b >= 0x81 && b <= 0xFE ? 2 : 1;
            }
        }
    } table;
    return table.lengths;
}

inline const SystemFacts& PosixFacts() {
    static const SystemFacts facts{
        '/',
        "/",
        [](const std::string& path) { return !path.empty() && path[0] == '/'; },
        ParseDottedIpv4,
        2,
        NetworkOrder16,
        65001,
        SingleByteLengths(),
        ErrorTextOf};
    return facts;
}

inline bool IsWindowsAbsolute(const std::string& path) {
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    return (!path.empty() && separator(path[0])) ||
           (path.size() >= 3 && path[1] == ':' && separator(path[2]));
}

// `codePage` 936 (Chinese, double-byte) or 1252 (Western, single-byte).
inline const SystemFacts& WindowsFacts(int codePage) {
    static const SystemFacts western{'\\',           "\\/", IsWindowsAbsolute,   ParseDottedIpv4, 2,
                                     NetworkOrder16, 1252,  SingleByteLengths(), ErrorTextOf};
    static const SystemFacts chinese{'\\',           "\\/", IsWindowsAbsolute,   ParseDottedIpv4, 2,
                                     NetworkOrder16, 936,   DoubleByteLengths(), ErrorTextOf};
    return codePage == 936 ? chinese : western;
}

}  // namespace testing_support
