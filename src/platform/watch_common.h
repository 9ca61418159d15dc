// What both platforms' watch terminals share: the escape sequences of a
// redraw, the text appended where there is no screen, and the wait in slices.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/system.h"

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

// `text` as it follows the earlier ones in a file or a pipe.
inline std::string Appended(const std::string& text, bool first) {
    return (first ? "" : "\n") + text;
}

// Writes one picture to standard output: as a redraw where the terminal
// takes escape sequences, else after the pictures before it (`*shown` tells
// whether there were any, and becomes true). False when it could not be
// written whole, as when the reader of a pipe has gone.
inline bool WriteFrame(const std::string& text, bool sequences, bool* shown) {
    const std::string out =
        sequences ? RedrawWithSequences(text, !*shown) : Appended(text, !*shown);
    *shown = true;
    const bool written = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
    return std::fflush(stdout) == 0 && written;
}

// Waits up to `milliseconds` in slices of at most `sliceMs`: true as soon as
// `stop()` is true before a slice or `waitSlice(ms)` returns true.
template <typename Stop, typename Slice>
bool WaitInSlices(unsigned milliseconds, int64_t sliceMs, Stop stop, Slice waitSlice) {
    const int64_t deadline = MonotonicMs() + milliseconds;
    for (;;) {
        if (stop()) {
            return true;
        }
        const int64_t left = deadline - MonotonicMs();
        if (left <= 0) {
            return false;
        }
        if (waitSlice(std::min(left, sliceMs))) {
            return true;
        }
    }
}

}  // namespace platform
