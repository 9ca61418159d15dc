// Where a byte of a document's text stands, as people count: line and
// column, both from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "supervision/system_facts.h"

// Lines end at LF, CR LF or a lone CR; a character of the ANSI code page is
// one column.
struct TextPlace {
    int line;
    int column;
};

// Places of offsets in one text: an offset at or after the last one asked
// for is counted on from there, so places asked for in the order of the
// text cost one pass over it. The text must outlive the counter.
class PlaceCounter {
  public:
    // `text` is in the ANSI code page `facts` describe.
    PlaceCounter(const std::string& text, const SystemFacts& facts);

    // The place of byte `offset`; an offset before the text is its start,
    // one past its end its end.
    TextPlace At(int32_t offset);
    // The same as "line L, column C".
    std::string Said(int32_t offset);

  private:
    const std::string& text_;
    const bool utf8_;
    const uint8_t* const charLength_;
    std::size_t at_ = 0;
    TextPlace place_{1, 1};
    bool afterCr_ = false;
};

// The place of byte `offset` of `text` (see PlaceCounter).
TextPlace PlaceInText(const std::string& text, int32_t offset, const SystemFacts& facts);
