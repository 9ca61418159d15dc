// A strict reader of one JSON text whose top value is an object (one line of
// the event journal): the object's members, each with its value decoded.
// The whole grammar is checked (nested values, escapes, numbers, UTF-8), so
// that a torn or otherwise broken line is refused as a whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace journal {

// Nesting deeper than this is refused: no journal line comes near it, and
// the reader recurses once per level.
constexpr int kMaxJsonDepth = 64;

struct JsonValue {
    enum class Type : uint8_t { kNull, kBool, kNumber, kString, kArray, kObject };
    Type type = Type::kNull;
    bool boolean = false;
    // A number without fraction or exponent that fits in 64 bits.
    bool integral = false;
    int64_t integer = 0;
    // The decoded string (UTF-8); valid only during the member's visit.
    std::string_view string;
    // An array whose elements are all strings: true, and their decoded
    // texts in `strings` (valid only during the visit).
    bool stringArray = false;
    const std::vector<std::string>* strings = nullptr;
};

// Receives the top object's members in their order (a repeated name each
// time) while the text is read. Members seen before an error is found have
// been visited already: callers keep what they took only when the read
// returns true.
class JsonMembers {
  public:
    virtual void Member(std::string_view name, const JsonValue& value) = 0;

  protected:
    ~JsonMembers() = default;
};

// Reads `text`: one object with optional white space around it (and a
// UTF-8 byte-order mark before it) and nothing else. False for anything that
// is not such a JSON text (empty, torn, trailing bytes, invalid UTF-8 or
// escapes, control characters in strings, nesting deeper than
// kMaxJsonDepth).
bool ReadJsonObject(std::string_view text, JsonMembers& members);

}  // namespace journal
