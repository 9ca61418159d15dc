#include "supervision/log_sanitize.h"

namespace {

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

}  // namespace

std::string SanitizeForLog(const std::string& text) {
    std::size_t controls = 0;
    for (char c : text) {
        controls += IsControl(static_cast<unsigned char>(c)) ? 1 : 0;
    }
    if (controls == 0) {
        return text;
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() + controls * 3);
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (IsControl(byte)) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}
