#include "supervision/utf8_text.h"

#include <cstdint>

#include "markup/encodings.h"

std::string AnsiToUtf8(const std::string& ansi) {
    if (ansi.empty()) {
        return ansi;
    }
    EncodingConverter converter("", ansi.data(), static_cast<int32_t>(ansi.size()));
    const int32_t size = converter.ConvertText(nullptr, "UTF-8");
    if (size > 0) {
        std::string out(static_cast<std::size_t>(size), '\0');
        if (converter.ConvertText(&out[0], nullptr) == size) {
            return out;
        }
    }
    std::string ascii = ansi;
    for (char& c : ascii) {
        c = static_cast<unsigned char>(c) < 0x80 ? c : '?';
    }
    return ascii;
}
