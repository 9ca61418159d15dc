#include "json_reader.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace journal {

namespace {

// Byte classes of the reader, one table for all of them.
enum : uint8_t {
    kOther = 0,    // nothing of its own: ends a number, refused elsewhere
    kPlain = 1,    // printable ASCII a string holds as it is (not '"' or '\\')
    kSpace = 2,    // white space between tokens: space, tab, line feed, carriage return
    kControl = 4,  // C0 controls other than white space: never inside a string
    kHigh = 8,     // 0x80 and above: part of a UTF-8 sequence, checked by sequence
    kDigit = 16,   // 0 to 9
};

constexpr std::array<uint8_t, 256> MakeClasses() {
    std::array<uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        uint8_t bits = kOther;
        if (c < 0x20) {
            bits = (c == '\t' || c == '\n' || c == '\r') ? kSpace | kControl : kControl;
        } else if (c >= 0x80) {
            bits = kHigh;
        } else if (c != '"' && c != '\\') {
            bits = kPlain;
        }
        if (c == ' ') {
            bits |= kSpace;
        }
        if (c >= '0' && c <= '9') {
            bits |= kDigit;
        }
        table[static_cast<std::size_t>(c)] = bits;
    }
    return table;
}

constexpr std::array<uint8_t, 256> kClasses = MakeClasses();

inline bool Is(char c, uint8_t bits) {
    return (kClasses[static_cast<unsigned char>(c)] & bits) != 0;
}

// The length of the well-formed UTF-8 sequence at `p` (2 to 4 bytes, no
// overlong forms, no surrogates, nothing above U+10FFFF), or 0.
int Utf8SequenceLength(const char* p, const char* end) {
    const auto byte = [&](int i) { return static_cast<unsigned char>(p[i]); };
    const auto trail = [&](int i, unsigned low, unsigned high) {
        return p + i < end && byte(i) >= low && byte(i) <= high;
    };
    const unsigned lead = byte(0);
    if (lead >= 0xC2 && lead <= 0xDF) {
        return trail(1, 0x80, 0xBF) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned high = lead == 0xED ? 0x9F : 0xBF;
        return trail(1, low, high) && trail(2, 0x80, 0xBF) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned high = lead == 0xF4 ? 0x8F : 0xBF;
        return trail(1, low, high) && trail(2, 0x80, 0xBF) && trail(3, 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Appends the UTF-8 form of `codePoint` (at most U+10FFFF, no surrogate).
void AppendUtf8(uint32_t codePoint, std::string* out) {
    const auto put = [out](uint32_t byte) { out->push_back(static_cast<char>(byte)); };
    if (codePoint < 0x80) {
        put(codePoint);
        return;
    }
    if (codePoint < 0x800) {
        put(0xC0 | codePoint >> 6);
    } else if (codePoint < 0x10000) {
        put(0xE0 | codePoint >> 12);
        put(0x80 | (codePoint >> 6 & 0x3F));
    } else {
        put(0xF0 | codePoint >> 18);
        put(0x80 | (codePoint >> 12 & 0x3F));
        put(0x80 | (codePoint >> 6 & 0x3F));
    }
    put(0x80 | (codePoint & 0x3F));
}

class Reader {
  public:
    explicit Reader(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

    bool Document(JsonMembers& members) {
        // A byte-order mark, as an editor may put before a file's first line.
        if (end_ - p_ >= 3 && std::string_view(p_, 3) == "\xEF\xBB\xBF") {
            p_ += 3;
        }
        SkipSpace();
        if (!TopObject(members)) {
            return false;
        }
        SkipSpace();
        return p_ == end_;
    }

  private:
    // The first byte from `p` on that is not of class `bits`. The loops
    // run on locals: a byte read through a char pointer could alias the
    // members, which would be reloaded at every byte.
    const char* Skip(const char* p, uint8_t bits) const {
        const char* const end = end_;
        while (p < end && Is(*p, bits)) {
            ++p;
        }
        return p;
    }

    void SkipSpace() { p_ = Skip(p_, kSpace); }

    bool Take(char c) {
        if (p_ < end_ && *p_ == c) {
            ++p_;
            return true;
        }
        return false;
    }

    bool Word(std::string_view word) {
        if (static_cast<std::size_t>(end_ - p_) < word.size() ||
            std::string_view(p_, word.size()) != word) {
            return false;
        }
        p_ += word.size();
        return true;
    }

    // The top object: its members' values decoded and handed on.
    bool TopObject(JsonMembers& members) {
        if (!Take('{')) {
            return false;
        }
        SkipSpace();
        if (Take('}')) {
            return true;
        }
        for (;;) {
            std::string_view name;
            if (!String(&keyScratch_, &name)) {
                return false;
            }
            SkipSpace();
            if (!Take(':')) {
                return false;
            }
            SkipSpace();
            JsonValue value;
            if (!MemberValue(&value)) {
                return false;
            }
            members.Member(name, value);
            SkipSpace();
            if (Take('}')) {
                return true;
            }
            if (!Take(',')) {
                return false;
            }
            SkipSpace();
        }
    }

    // A value of a top member: scalars decoded, an array of strings
    // collected, anything else checked and typed.
    bool MemberValue(JsonValue* value) {
        if (p_ == end_) {
            return false;
        }
        switch (*p_) {
            case '"':
                value->type = JsonValue::Type::kString;
                return String(&valueScratch_, &value->string);
            case '[':
                value->type = JsonValue::Type::kArray;
                return TopArray(value);
            case '{':
                value->type = JsonValue::Type::kObject;
                return Nested(2);
            case 't':
                value->type = JsonValue::Type::kBool;
                value->boolean = true;
                return Word("true");
            case 'f':
                value->type = JsonValue::Type::kBool;
                return Word("false");
            case 'n':
                return Word("null");
            default:
                value->type = JsonValue::Type::kNumber;
                return Number(&value->integral, &value->integer);
        }
    }

    // An array directly inside the top object; its strings are kept while
    // every element is one.
    bool TopArray(JsonValue* value) {
        ++p_;
        strings_.clear();
        value->stringArray = true;
        value->strings = &strings_;
        SkipSpace();
        if (Take(']')) {
            return true;
        }
        for (;;) {
            if (p_ < end_ && *p_ == '"') {
                std::string_view text;
                if (!String(&valueScratch_, &text)) {
                    return false;
                }
                if (value->stringArray) {
                    strings_.emplace_back(text);
                }
            } else {
                value->stringArray = false;
                if (!Nested(2)) {
                    return false;
                }
            }
            SkipSpace();
            if (Take(']')) {
                return true;
            }
            if (!Take(',')) {
                return false;
            }
            SkipSpace();
        }
    }

    // Any value at nesting level `depth` (the top object is level 1),
    // checked and dropped.
    bool Nested(int depth) {
        if (p_ == end_) {
            return false;
        }
        const char first = *p_;
        if (first == '{' || first == '[') {
            if (depth > kMaxJsonDepth) {
                return false;
            }
            const char close = first == '{' ? '}' : ']';
            ++p_;
            SkipSpace();
            if (Take(close)) {
                return true;
            }
            for (;;) {
                if (first == '{') {
                    std::string_view name;
                    if (!String(&nestedScratch_, &name)) {
                        return false;
                    }
                    SkipSpace();
                    if (!Take(':')) {
                        return false;
                    }
                    SkipSpace();
                }
                if (!Nested(depth + 1)) {
                    return false;
                }
                SkipSpace();
                if (Take(close)) {
                    return true;
                }
                if (!Take(',')) {
                    return false;
                }
                SkipSpace();
            }
        }
        if (first == '"') {
            std::string_view text;
            return String(&nestedScratch_, &text);
        }
        if (first == 't' || first == 'f' || first == 'n') {
            return Word(first == 't' ? "true" : first == 'f' ? "false" : "null");
        }
        bool integral = false;
        int64_t integer = 0;
        return Number(&integral, &integer);
    }

    // A string at p_ (its opening quote). `*out` views the input when the
    // string needs no decoding, else `*scratch`.
    bool String(std::string* scratch, std::string_view* out) {
        if (!Take('"')) {
            return false;
        }
        const char* start = p_;
        p_ = Skip(p_, kPlain);
        if (p_ < end_ && *p_ == '"') {
            *out = std::string_view(start, static_cast<std::size_t>(p_ - start));
            ++p_;
            return true;
        }
        scratch->assign(start, p_);
        for (;;) {
            if (p_ == end_) {
                return false;
            }
            const char c = *p_;
            if (c == '"') {
                ++p_;
                *out = *scratch;
                return true;
            }
            if (c == '\\') {
                if (!Escape(scratch)) {
                    return false;
                }
            } else if (Is(c, kHigh)) {
                const int length = Utf8SequenceLength(p_, end_);
                if (length == 0) {
                    return false;
                }
                scratch->append(p_, static_cast<std::size_t>(length));
                p_ += length;
            } else if (Is(c, kControl)) {
                return false;
            } else {
                const char* run = p_;
                p_ = Skip(p_, kPlain);
                scratch->append(run, p_);
            }
        }
    }

    // Four hexadecimal digits at p_, or -1.
    int32_t Hex4() {
        if (end_ - p_ < 4) {
            return -1;
        }
        int32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = HexDigit(p_[i]);
            if (digit < 0) {
                return -1;
            }
            value = value * 16 + digit;
        }
        p_ += 4;
        return value;
    }

    // The escape at p_ (its backslash), appended decoded. A surrogate must
    // come as a high and low pair.
    bool Escape(std::string* out) {
        ++p_;
        if (p_ == end_) {
            return false;
        }
        const char c = *p_++;
        if (c != 'u') {
            // The escapes of one character, each followed by what it stands for.
            static constexpr std::string_view kSingle("\"\"\\\\//b\bf\fn\nr\rt\t", 16);
            for (std::size_t i = 0; i < kSingle.size(); i += 2) {
                if (kSingle[i] == c) {
                    out->push_back(kSingle[i + 1]);
                    return true;
                }
            }
            return false;
        }
        int32_t unit = Hex4();
        if (unit < 0 || (unit >= 0xDC00 && unit <= 0xDFFF)) {
            return false;
        }
        uint32_t codePoint = static_cast<uint32_t>(unit);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (!Word("\\u")) {
                return false;
            }
            const int32_t low = Hex4();
            if (low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            codePoint = 0x10000 + ((static_cast<uint32_t>(unit) - 0xD800) << 10) +
                        (static_cast<uint32_t>(low) - 0xDC00);
        }
        AppendUtf8(codePoint, out);
        return true;
    }

    // A number: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?. `*integral`
    // tells whether it is an integer that fits in 64 bits, then `*integer`.
    bool Number(bool* integral, int64_t* integer) {
        const char* start = p_;
        const bool negative = Take('-');
        if (p_ == end_ || !Is(*p_, kDigit)) {
            return false;
        }
        // The magnitude, which may be 2^63 for a negative number.
        constexpr uint64_t kLimit = static_cast<uint64_t>(INT64_MAX) + 1;
        uint64_t magnitude = 0;
        bool fits = true;
        if (*p_ == '0') {
            ++p_;
        } else {
            const char* p = p_;
            const char* const end = end_;
            while (p < end && Is(*p, kDigit)) {
                const uint64_t digit = static_cast<uint64_t>(*p - '0');
                if (magnitude > (kLimit - digit) / 10) {
                    fits = false;
                } else {
                    magnitude = magnitude * 10 + digit;
                }
                ++p;
            }
            p_ = p;
        }
        bool whole = true;
        if (Take('.')) {
            whole = false;
            if (p_ == end_ || !Is(*p_, kDigit)) {
                return false;
            }
            p_ = Skip(p_, kDigit);
        }
        if (p_ < end_ && (*p_ == 'e' || *p_ == 'E')) {
            whole = false;
            ++p_;
            if (!Take('+')) {
                Take('-');
            }
            if (p_ == end_ || !Is(*p_, kDigit)) {
                return false;
            }
            p_ = Skip(p_, kDigit);
        }
        *integral = whole && fits && (negative || magnitude < kLimit);
        if (*integral) {
            *integer =
                negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
            return true;
        }
        // Any other number must be finite as a double, as the daemon's JSON
        // library requires of what it reads and writes.
        const std::string token(start, p_);
        return std::isfinite(std::strtod(token.c_str(), nullptr));
    }

    const char* p_;
    const char* end_;
    std::string keyScratch_;
    std::string valueScratch_;
    // Strings below the top members, decoded only to be checked: a member's
    // name and value stay intact while its nested values are read.
    std::string nestedScratch_;
    std::vector<std::string> strings_;
};

}  // namespace

bool ReadJsonObject(std::string_view text, JsonMembers& members) {
    Reader reader(text);
    return reader.Document(members);
}

}  // namespace journal
