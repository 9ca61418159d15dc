#include "markup/escaping.h"

#include <cstring>

#include "markup/char_class.h"
#include "markup/entity_table.h"
#include "markup/single_byte.h"
#include "platform/ansi.h"
#include "platform/compiler.h"

namespace {

// The reference that replaces a markup character.
const char* EscapeText(char c) {
    switch (c) {
        case '<':
            return "&lt;";
        case '&':
            return "&amp;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        default:
            return "&apos;";
    }
}

// Code point of an entity name (`folded` in lower case, `firstWritten` its
// first byte as written), 0 when unknown. A name that the table holds twice
// (Eacute/eacute) gives the capitalised row when written with a capital.
uint32_t LookupEntity(const char* folded, int length, char firstWritten) {
    const char* row = kEntityBuckets[EntityBucket(folded, length)];
    while (*row != '\0') {
        const int rowLength = row[0] - '0';
        if (rowLength == length && std::memcmp(row + 5, folded, static_cast<size_t>(length)) == 0) {
            const char* next = row + 5 + rowLength;
            const bool twin = next[0] - '0' == length &&
                              std::memcmp(next + 5, folded, static_cast<size_t>(length)) == 0;
            if (twin && !(firstWritten >= 'A' && firstWritten <= 'Z')) {
                row = next;
            }
            uint32_t codePoint = 0;
            for (int i = 1; i <= 4; ++i) {
                codePoint = codePoint * 10 + static_cast<uint32_t>(row[i] - '0');
            }
            return codePoint;
        }
        row += 5 + rowLength;
    }
    return 0;
}

// Code point of the collected reference text (folded, without "&" and
// ";"): "#x" hex, "#" decimal, else an entity name. Digits are read as far
// as they are valid; the rest is ignored.
uint32_t ReferenceCodePoint(const char* folded, int length, char firstWritten) {
    if (length >= 1 && folded[0] == '#') {
        uint32_t value = 0;
        if (length >= 2 && folded[1] == 'x') {
            for (int i = 2; i < length; ++i) {
                const char c = folded[i];
                uint32_t digit;
                if (c >= '0' && c <= '9') {
                    digit = static_cast<uint32_t>(c - '0');
                } else if (c >= 'a' && c <= 'f') {
                    digit = static_cast<uint32_t>(c - 'a' + 10);
                } else {
                    break;
                }
                value = value * 16 + digit;  // at most 7 digits: no overflow
            }
        } else {
            for (int i = 1; i < length && folded[i] >= '0' && folded[i] <= '9'; ++i) {
                value = value * 10 + static_cast<uint32_t>(folded[i] - '0');  // at most 8 digits
            }
        }
        return value;
    }
    // The five predefined references, the most frequent by far, are the
    // table's own rows for their names.
    switch (length) {
        case 2:
            if (folded[1] == 't' && (folded[0] == 'l' || folded[0] == 'g')) {
                return folded[0] == 'l' ? '<' : '>';
            }
            break;
        case 3:
            if (std::memcmp(folded, "amp", 3) == 0) {
                return '&';
            }
            break;
        case 4:
            if (std::memcmp(folded, "quot", 4) == 0) {
                return '"';
            }
            if (std::memcmp(folded, "apos", 4) == 0) {
                return '\'';
            }
            break;
        default:
            break;
    }
    return LookupEntity(folded, length, firstWritten);
}

}  // namespace

std::string EscapeValue(const std::string& text, int options) {
    const uint16_t escaped = (options & kEscapeAttribute) != 0 ? kCharEscapeAttr : kCharEscapeText;
    const bool keepReferences = (options & kEscapeKeepReferences) != 0;
    const uint8_t* charLengths = platform::AnsiCharLengths();
    const size_t n = text.size();
    const char* in = text.data();
    std::string out;
    out.reserve(n + n / 10 + 7);
    size_t i = 0;
    while (i < n) {
        const char c = in[i];
        if ((CharClassOf(c) & escaped) == 0) {
            size_t step = charLengths[static_cast<uint8_t>(c)];
            if (step > n - i) {
                step = n - i;
            }
            out.append(in + i, step);
            i += step;
            continue;
        }
        if (c == '&' && keepReferences && i + 1 < n && (CharClassOf(in[i + 1]) & kCharRefStart)) {
            size_t j = i + 2;
            while (j < n && (CharClassOf(in[j]) & kCharRefMore)) {
                ++j;
            }
            if (j < n && in[j] == ';') {
                out.append(in + i, j + 1 - i);
                i = j + 1;
                continue;
            }
        }
        out += EscapeText(c);
        ++i;
    }
    return out;
}

namespace {

// Appends to a string through a pointer. The room made up front is the
// input's length, which decoding does not exceed; it grows if it must.
class Output {
  public:
    Output(std::string& out, size_t room) : out_(out), base_(out.size()) {
        out_.resize(base_ + room);
        w_ = &out_[0] + base_;
        end_ = &out_[0] + out_.size();
    }
    void Put(const char* p, size_t n) {
        if (n > static_cast<size_t>(end_ - w_)) {
            Grow(n);
        }
        std::memcpy(w_, p, n);
        w_ += n;
    }
    void Put(char c) { Put(&c, 1); }
    size_t Size() const { return static_cast<size_t>(w_ - out_.data()); }
    void CutTo(size_t size) { w_ = &out_[0] + size; }
    void Finish() { out_.resize(Size()); }

  private:
    void Grow(size_t n) {
        const size_t size = Size();
        out_.resize(out_.size() + n + 16);
        w_ = &out_[0] + size;
        end_ = &out_[0] + out_.size();
    }
    std::string& out_;
    size_t base_;
    char* w_;
    char* end_;
};

// How AppendUnescaped reads its text.
struct UnescapeMode {
    bool spaceHandling;  // trims or collapses white space
    bool collapse;
    bool singleByte;             // AnsiCharsAreSingleByte()
    const uint8_t* charLengths;  // AnsiCharLengths()
};

// The end of the plain run that starts with the character at i: the next
// "&", the next white space when it is handled, or n.
ZELK_ALWAYS_INLINE size_t PlainRunEnd(const char* text, size_t i, size_t n,
                                      const UnescapeMode& mode) {
    size_t j = i + mode.charLengths[static_cast<uint8_t>(text[i])];
    if (mode.singleByte && !mode.spaceHandling) {
        const void* amp = j < n ? std::memchr(text + j, '&', n - j) : nullptr;
        j = amp == nullptr ? n : static_cast<size_t>(static_cast<const char*>(amp) - text);
    }
    while (j < n && text[j] != '&' && !(mode.spaceHandling && IsCharSpace(text[j]))) {
        j += mode.charLengths[static_cast<uint8_t>(text[j])];
    }
    return j < n ? j : n;
}

// Decodes the reference whose "&" is at text[i] into `bytes` (room for 8):
// up to 9 characters up to ";", folded to lower case. Returns the number of
// bytes and sets *next after the ";"; 0 when it is no reference that
// decodes here (it is then kept as written).
ZELK_ALWAYS_INLINE int DecodeReference(const char* text, size_t i, size_t n, char* bytes,
                                       size_t* next) {
    char folded[9];
    int k = 0;
    size_t j = i + 1;
    while (k < 9 && j < n && text[j] != ';' && static_cast<uint8_t>(text[j]) < 0x80) {
        char f = text[j];
        if (f >= 'A' && f <= 'Z') {
            f = static_cast<char>(f + ('a' - 'A'));
        }
        folded[k++] = f;
        ++j;
    }
    if (j >= n || text[j] != ';') {
        return 0;
    }
    *next = j + 1;
    const uint32_t codePoint = ReferenceCodePoint(folded, k, text[i + 1]);
    if (codePoint == 0) {
        return 0;
    }
    if (codePoint < 0x80) {
        // Every ANSI code page holds the ASCII characters as themselves.
        bytes[0] = static_cast<char>(codePoint);
        return 1;
    }
    return platform::EncodeAnsiCodePoint(codePoint, bytes);
}

// A white-space character c after the first one that is not, while white
// space is handled: the first of a run goes out (a space when collapsing),
// the others only when not collapsing. runStart keeps where the run began
// in the output (npos: no run), so that a run at the end can be cut.
ZELK_ALWAYS_INLINE void PutSpace(Output& w, char c, bool collapse, size_t& runStart) {
    if (runStart == std::string::npos) {
        runStart = w.Size();
        w.Put(collapse ? ' ' : c);
    } else if (!collapse) {
        w.Put(c);
    }
}

}  // namespace

void AppendUnescaped(const char* text, int length, uint32_t options, std::string& out) {
    if (text == nullptr) {
        return;
    }
    const size_t n = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
    const UnescapeMode mode{(options & (kUnescapeTrim | kUnescapeCollapse)) != 0,
                            (options & kUnescapeCollapse) != 0, AnsiCharsAreSingleByte(),
                            platform::AnsiCharLengths()};
    if (mode.singleByte && !mode.spaceHandling && std::memchr(text, '&', n) == nullptr) {
        out.append(text, n);  // nothing to decode
        return;
    }
    Output w(out, n);
    bool leading = true;
    size_t runStart = std::string::npos;  // output offset of the current white-space run
    size_t i = 0;
    while (i < n) {
        const char c = text[i];
        if (mode.spaceHandling && IsCharSpace(c)) {
            if (!leading) {
                PutSpace(w, c, mode.collapse, runStart);
            }
            ++i;
            continue;
        }
        leading = false;
        runStart = std::string::npos;
        if (c != '&') {
            // The whole plain run up to the next reference goes out at once.
            const size_t j = PlainRunEnd(text, i, n, mode);
            w.Put(text + i, j - i);
            i = j;
            continue;
        }
        char bytes[8];
        size_t next = 0;
        const int written = DecodeReference(text, i, n, bytes, &next);
        if (written > 0) {
            w.Put(bytes, static_cast<size_t>(written));
            i = next;
            continue;
        }
        w.Put('&');
        ++i;
    }
    if (mode.spaceHandling && runStart != std::string::npos) {
        w.CutTo(runStart);
    }
    w.Finish();
}

std::string UnescapeValue(const char* text, int length, uint32_t options) {
    std::string out;
    AppendUnescaped(text, length, options, out);
    return out;
}

std::string EscapeCData(const std::string& text) {
    std::string out = "<![CDATA[";
    out.reserve(text.size() + 12);
    size_t from = 0;
    for (size_t at = text.find("]]>"); at != std::string::npos; at = text.find("]]>", from)) {
        out.append(text, from, at - from);
        out += "]]]]><![CDATA[>";
        from = at + 3;
    }
    out.append(text, from, std::string::npos);
    out += "]]>";
    return out;
}
