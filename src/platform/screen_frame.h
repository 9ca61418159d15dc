// The escape sequences both platforms' watch terminals redraw a screen with.
#pragma once

#include <algorithm>
#include <string>

namespace platform {

// `text` as it replaces a terminal's content: cursor home (and, the first
// time, the screen cleared), each line followed by clearing the rest of its
// row, then the rest of the screen cleared. Overwriting instead of clearing
// first keeps the picture from flickering.
inline std::string RedrawWithSequences(const std::string& text, bool first) {
    std::string out = first ? "\x1b[H\x1b[2J" : "\x1b[H";
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t end = std::min(text.find('\n', begin), text.size());
        out.append(text, begin, end - begin);
        out += "\x1b[K\n";
        begin = end + 1;
    }
    return out + "\x1b[J";
}

}  // namespace platform
