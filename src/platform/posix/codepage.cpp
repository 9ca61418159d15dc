// Code-page services on POSIX: the document character set is UTF-8, and other
// code pages are converted with glibc's iconv under the names below.
#include "platform/codepage.h"

#include <errno.h>
#include <iconv.h>

#include <cstddef>
#include <cstring>

#include "platform/utf8.h"

namespace platform {
namespace {

constexpr int kUtf8 = 65001;

struct CodePageName {
    int codePage;
    const char* iconvName;
};

// Every code page of the encoding table that glibc converts. Missing (glibc
// has no converter): 720, 853, 10001-10006, 10008, 10010, 10021, 10081, 10082,
// 20000-20005, 20105, 29001, 52936 and 57002-57011.
const CodePageName kCodePageNames[] = {
    {154, "PT154"},
    {437, "IBM437"},
    {708, "ASMO-708"},
    {737, "CP737"},
    {775, "CP775"},
    {850, "CP850"},
    {852, "CP852"},
    {855, "CP855"},
    {857, "CP857"},
    {858, "CP858"},
    {860, "CP860"},
    {861, "CP861"},
    {862, "CP862"},
    {863, "CP863"},
    {864, "CP864"},
    {865, "CP865"},
    {866, "CP866"},
    {869, "CP869"},
    {874, "CP874"},
    {932, "CP932"},
    {936, "CP936"},
    {949, "CP949"},
    {950, "CP950"},
    {1125, "CP1125"},
    {1133, "CP1133"},
    {1201, "UTF-16BE"},
    {1250, "CP1250"},
    {1251, "CP1251"},
    {1252, "CP1252"},
    {1253, "CP1253"},
    {1254, "CP1254"},
    {1255, "CP1255"},
    {1256, "CP1256"},
    {1257, "CP1257"},
    {1258, "CP1258"},
    {1361, "JOHAB"},
    {10000, "MACINTOSH"},
    {10007, "MAC-CYRILLIC"},
    {10017, "MACUKRAINIAN"},
    {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"},
    {12000, "UTF-32LE"},
    {12001, "UTF-32BE"},
    {20106, "ISO646-DE"},
    {20107, "ISO646-SE"},
    {20108, "ISO646-NO"},
    {20127, "ANSI_X3.4-1968"},
    {20261, "T.61-8BIT"},
    {20269, "ISO_6937"},
    {20866, "KOI8-R"},
    {20932, "EUC-JP"},
    {20936, "GB2312"},
    {20949, "EUC-KR"},
    {21866, "KOI8-U"},
    {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"},
    {28605, "ISO-8859-15"},
    {38598, "ISO-8859-8"},
    {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP"},
    {50222, "ISO-2022-JP"},
    {50225, "ISO-2022-KR"},
    {50227, "ISO-2022-CN"},
    {51932, "EUC-JP-MS"},
    {51936, "EUC-CN"},
    {51949, "EUC-KR"},
    {54936, "GB18030"},
    {65000, "UTF-7"},
    {kUtf8, "UTF-8"},
};

bool LittleEndian() {
    const uint16_t one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// UTF-16 in machine byte order, without a byte-order mark.
const char* Utf16Name() {
    return LittleEndian() ? "UTF-16LE" : "UTF-16BE";
}

const char* IconvName(int codePage) {
    if (codePage == 0) {
        codePage = kUtf8;
    }
    if (codePage == 1200) {
        return Utf16Name();
    }
    for (const CodePageName& entry : kCodePageNames) {
        if (entry.codePage == codePage) {
            return entry.iconvName;
        }
    }
    return nullptr;
}

class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

// Where converted bytes go. iconv always writes into a scratch block, which
// is then counted and, when converting, copied into the caller's buffer: so a
// buffer of exactly the measured size suffices even where iconv asks for room
// for a character's longest form before finding that it cannot convert it.
class Output {
  public:
    Output(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}

    char* scratch() { return scratch_; }
    std::size_t room() const { return sizeof scratch_; }
    // Takes the first count bytes of the scratch block. False when they do
    // not fit in the caller's buffer.
    bool Commit(std::size_t count) {
        if (buffer_ != nullptr) {
            if (count > capacity_ - produced_) {
                return false;
            }
            std::memcpy(buffer_ + produced_, scratch_, count);
        }
        produced_ += count;
        return true;
    }
    std::size_t produced() const { return produced_; }

  private:
    char* buffer_;  // null when only measuring
    std::size_t capacity_;
    std::size_t produced_ = 0;
    char scratch_[16384];
};

// Runs iconv (input null: the final flush) into the output until the input
// is used up or stuck. Returns false when the caller's buffer is full or on an
// unexpected error; *stuck receives errno for EILSEQ and EINVAL, which the
// caller resolves.
bool Step(iconv_t cd, char** in, std::size_t* inLeft, Output& output, int* stuck) {
    *stuck = 0;
    for (;;) {
        char* at = output.scratch();
        std::size_t room = output.room();
        errno = 0;
        const std::size_t result = in != nullptr ? iconv(cd, in, inLeft, &at, &room)
                                                 : iconv(cd, nullptr, nullptr, &at, &room);
        const int error = errno;
        if (!output.Commit(static_cast<std::size_t>(at - output.scratch()))) {
            return false;
        }
        if (result != static_cast<std::size_t>(-1)) {
            return true;
        }
        if (error == E2BIG) {
            continue;
        }
        if (error == EILSEQ || error == EINVAL) {
            *stuck = error;
            return true;
        }
        return false;
    }
}

// Converts input through cd. At a sequence it cannot handle, skip(in, left)
// tells how many input bytes to drop and the replacement (in the source
// encoding) is converted in their place. Returns the bytes produced, or -1.
template <typename Skip>
long Run(iconv_t cd, const char* source, std::size_t length, char* buffer, std::size_t capacity,
         const char* replacement, std::size_t replacementBytes, Skip skip) {
    Output output(buffer, capacity);
    char* in = const_cast<char*>(source);
    std::size_t inLeft = length;
    int stuck = 0;
    while (inLeft > 0) {
        if (!Step(cd, &in, &inLeft, output, &stuck)) {
            return -1;
        }
        if (stuck == 0) {
            break;
        }
        const std::size_t drop = skip(in, inLeft);
        in += drop;
        inLeft -= drop;
        char* repl = const_cast<char*>(replacement);
        std::size_t replLeft = replacementBytes;
        if (!Step(cd, &repl, &replLeft, output, &stuck) || stuck != 0) {
            return -1;
        }
    }
    if (!Step(cd, nullptr, nullptr, output, &stuck) || stuck != 0) {
        return -1;
    }
    return static_cast<long>(output.produced());
}

// UTF-8 is the document character set here, so every load converts from or
// to it: these two directions are written by hand instead of going through
// iconv. Both return the units produced, or -1 when out (not null) is full.

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
template <bool kWrite>
long Utf16ToUtf8(const uint16_t* source, std::size_t length, char* out, std::size_t capacity) {
    std::size_t n = 0;
    std::size_t i = 0;
    while (i < length) {
        // Runs of ASCII, the bulk of markup, without the general path.
        for (; i < length && source[i] < 0x80; ++i, ++n) {
            if (kWrite) {
                if (n == capacity) {
                    return -1;
                }
                out[n] = static_cast<char>(source[i]);
            }
        }
        if (i == length) {
            break;
        }
        uint32_t c = source[i++];
        if (c >= 0xD800 && c <= 0xDFFF) {
            if (c <= 0xDBFF && i < length && source[i] >= 0xDC00 && source[i] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (source[i++] - 0xDC00);
            } else {
                c = 0xFFFD;
            }
        }
        const std::size_t count = static_cast<std::size_t>(Utf8Length(c));
        if (kWrite) {
            if (capacity - n < count) {
                return -1;
            }
            WriteUtf8(c, out + n);
        }
        n += count;
    }
    return static_cast<long>(n);
}

// UTF-8 to UTF-16. A byte that does not begin a valid, shortest-form sequence
// of a Unicode scalar value becomes U+FFFD and decoding goes on after it.
template <bool kWrite>
long Utf8ToUtf16(const unsigned char* source, std::size_t length, uint16_t* out,
                 std::size_t capacity) {
    std::size_t n = 0;
    std::size_t i = 0;
    while (i < length) {
        for (; i < length && source[i] < 0x80; ++i, ++n) {
            if (kWrite) {
                if (n == capacity) {
                    return -1;
                }
                out[n] = source[i];
            }
        }
        if (i == length) {
            break;
        }
        const unsigned lead = source[i];
        uint32_t c = 0xFFFD;
        std::size_t used = 1;
        if (lead < 0x80) {
            c = lead;
        } else if (lead >= 0xC2 && lead <= 0xF4) {
            const std::size_t count = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            // The second byte's range rules out overlong forms, surrogates and
            // values above U+10FFFF.
            const unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
            const unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
            if (length - i >= count && source[i + 1] >= low && source[i + 1] <= high) {
                uint32_t value = lead & (0x7F >> count);
                std::size_t k = 1;
                for (; k < count && (source[i + k] & 0xC0) == 0x80; ++k) {
                    value = (value << 6) | (source[i + k] & 0x3F);
                }
                if (k == count) {
                    c = value;
                    used = count;
                }
            }
        }
        i += used;
        const std::size_t units = c < 0x10000 ? 1 : 2;
        if (kWrite) {
            if (capacity - n < units) {
                return -1;
            }
            if (units == 1) {
                out[n] = static_cast<uint16_t>(c);
            } else {
                out[n] = static_cast<uint16_t>(0xD800 + ((c - 0x10000) >> 10));
                out[n + 1] = static_cast<uint16_t>(0xDC00 + (c & 0x3FF));
            }
        }
        n += units;
    }
    return static_cast<long>(n);
}

// The int result of a conversion: 0 for a full buffer or an overflowing count.
int Result(long produced) {
    return produced < 0 || produced > 0x7FFFFFFF ? 0 : static_cast<int>(produced);
}

}  // namespace

int MultiByteToUtf16(int codePage, const char* source, int length, uint16_t* buffer, int capacity) {
    const char* name = IconvName(codePage);
    if (length <= 0 || source == nullptr || name == nullptr) {
        return 0;
    }
    const bool measure = buffer == nullptr || capacity <= 0;
    if (codePage == 0 || codePage == kUtf8) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(source);
        const auto count = static_cast<std::size_t>(length);
        return Result(
            measure ? Utf8ToUtf16<false>(bytes, count, nullptr, 0)
                    : Utf8ToUtf16<true>(bytes, count, buffer, static_cast<std::size_t>(capacity)));
    }
    Converter converter(Utf16Name(), name);
    if (!converter.ok()) {
        return 0;
    }
    // An invalid byte becomes "?"; it is given in the target's units and
    // written directly.
    const uint16_t replacementUnit = '?';
    Output output(measure ? nullptr : reinterpret_cast<char*>(buffer),
                  measure ? 0 : static_cast<std::size_t>(capacity) * 2);
    char* in = const_cast<char*>(source);
    std::size_t inLeft = static_cast<std::size_t>(length);
    int stuck = 0;
    while (inLeft > 0) {
        if (!Step(converter.get(), &in, &inLeft, output, &stuck)) {
            return 0;
        }
        if (stuck == 0) {
            break;
        }
        ++in;
        --inLeft;
        std::memcpy(output.scratch(), &replacementUnit, 2);
        if (!output.Commit(2)) {
            return 0;
        }
    }
    if (!Step(converter.get(), nullptr, nullptr, output, &stuck) || stuck != 0) {
        return 0;
    }
    const std::size_t units = output.produced() / 2;
    return units > 0x7FFFFFFF ? 0 : static_cast<int>(units);
}

int Utf16ToMultiByte(int codePage, const uint16_t* source, int length, char* buffer, int capacity,
                     int32_t* usedDefault) {
    if (usedDefault != nullptr) {
        *usedDefault = 0;
    }
    const char* name = IconvName(codePage);
    if (length <= 0 || source == nullptr || name == nullptr) {
        return 0;
    }
    const bool measure = buffer == nullptr || capacity <= 0;
    if (codePage == 0 || codePage == kUtf8) {
        const auto count = static_cast<std::size_t>(length);
        return Result(
            measure ? Utf16ToUtf8<false>(source, count, nullptr, 0)
                    : Utf16ToUtf8<true>(source, count, buffer, static_cast<std::size_t>(capacity)));
    }
    Converter converter(name, Utf16Name());
    if (!converter.ok()) {
        return 0;
    }
    // A character the code page lacks becomes "?" and counts as a loss: one
    // "?" per 16-bit unit, as the Windows conversion writes for a character
    // outside the basic plane.
    const uint16_t replacement = '?';
    bool lost = false;
    auto skip = [&](const char*, std::size_t left) -> std::size_t {
        lost = true;
        return left < 2 ? left : 2;
    };
    const int produced =
        Result(Run(converter.get(), reinterpret_cast<const char*>(source),
                   static_cast<std::size_t>(length) * 2, measure ? nullptr : buffer,
                   measure ? 0 : static_cast<std::size_t>(capacity),
                   reinterpret_cast<const char*>(&replacement), 2, skip));
    if (usedDefault != nullptr && produced > 0) {
        *usedDefault = lost ? 1 : 0;
    }
    return produced;
}

}  // namespace platform
