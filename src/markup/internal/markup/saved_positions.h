// The document's table of named saved positions (internal to the engine).
#pragma once

#include <cstdint>
#include <map>
#include <string>

// Emptied by every parse and freed with the document; nothing in this
// system stores into it.
struct SavedPositionTable {
    std::map<std::string, int32_t> positions;
};
