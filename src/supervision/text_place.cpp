#include "supervision/text_place.h"

#include <algorithm>

#include "markup/encodings.h"

PlaceCounter::PlaceCounter(const std::string& text, const SystemFacts& facts)
    : text_(text), utf8_(facts.ansiCodePage == kCodePageUtf8), charLength_(facts.ansiCharLengths) {}

TextPlace PlaceCounter::At(int32_t offset) {
    const std::size_t end = std::min(static_cast<std::size_t>(std::max(offset, 0)), text_.size());
    if (end < at_) {
        at_ = 0;
        place_ = TextPlace{1, 1};
        afterCr_ = false;
    }
    while (at_ < end) {
        const unsigned char c = static_cast<unsigned char>(text_[at_]);
        // CR LF is one line break, as a lone CR or LF is.
        if (c == '\r' || (c == '\n' && !afterCr_)) {
            ++place_.line;
            place_.column = 1;
        } else if (c != '\n' && (!utf8_ || (c & 0xC0) != 0x80)) {
            ++place_.column;
        }
        afterCr_ = c == '\r';
        // UTF-8 trail bytes count no column above; every other code page
        // steps over a character whole.
        at_ += utf8_ ? 1 : charLength_[c];
    }
    return place_;
}

std::string PlaceCounter::Said(int32_t offset) {
    const TextPlace place = At(offset);
    return "line " + std::to_string(place.line) + ", column " + std::to_string(place.column);
}

TextPlace PlaceInText(const std::string& text, int32_t offset, const SystemFacts& facts) {
    return PlaceCounter(text, facts).At(offset);
}
