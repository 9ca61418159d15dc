// Encoding names and code points: the name lookup, the conversion decision and
// the hand-written UTF-8 and UTF-16 coders.
#include "markup/encodings.h"

#include <cstring>

#include "markup/encoding_table.h"
#include "platform/ansi.h"
#include "platform/codepage.h"
#include "platform/utf8.h"

namespace {

// Names this long or longer are never looked up.
constexpr int kMaxNameBytes = 100;

int ReadDigits(const char* digits, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        value = value * 10 + (digits[i] - '0');
    }
    return value;
}

}  // namespace

int LookupCodePage(const char* name) {
    if (name == nullptr || name[0] == '\0') {
        return kCodePageAnsi;
    }
    // UTF-32 in machine byte order has no table entry; the lower-case names are
    // the table's little- and big-endian code pages.
    if (std::strncmp(name, "UTF-32", 6) == 0) {
        return kCodePageUtf32;
    }
    char lower[kMaxNameBytes];
    int length = 0;
    for (; name[length] != '\0'; ++length) {
        if (length == kMaxNameBytes - 1) {
            return -1;
        }
        const char c = name[length];
        lower[length] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    // Entries: 2 digits of name length, 5 digits of code page, the name.
    const char* entry = kEncodingBuckets[EncodingBucketOf(lower, length)];
    while (*entry != '\0') {
        const int entryLength = ReadDigits(entry, 2);
        if (entryLength == length && std::memcmp(entry + 7, lower, length) == 0) {
            return ReadDigits(entry + 2, 5);
        }
        entry += 7 + entryLength;
    }
    return -1;
}

bool NeedsConversion(const char* toEncoding, const char* fromEncoding) {
    int to = LookupCodePage(toEncoding);
    int from = LookupCodePage(fromEncoding);
    if (to == -1 || from == -1) {
        return false;
    }
    if (to == kCodePageAnsi) {
        to = platform::AnsiCodePage();
    }
    if (from == kCodePageAnsi) {
        from = platform::AnsiCodePage();
    }
    return to != from;
}

bool SkipsLossCheck(int codePage) {
    switch (codePage) {
        case 50220:
        case 50221:
        case 50222:
        case 50225:
        case 50227:
        case 50229:
        case 52936:
        case 54936:
        case 65000:
        case 65001:
            return true;
        default:
            return codePage >= 57002 && codePage <= 57011;
    }
}

int DecodeUtf8(const char** cursor, const char* end) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(*cursor);
    const unsigned char* const stop = reinterpret_cast<const unsigned char*>(end);
    if (p >= stop) {
        return -1;
    }
    const unsigned lead = *p++;
    if (lead < 0x80) {
        *cursor = reinterpret_cast<const char*>(p);
        return static_cast<int>(lead);
    }
    int missing;
    unsigned value;
    if ((lead & 0x20) == 0) {
        missing = 1;
        value = lead & 0x1F;
    } else if ((lead & 0x10) == 0) {
        missing = 2;
        value = lead & 0x0F;
    } else if ((lead & 0x08) == 0) {
        missing = 3;
        value = lead & 0x07;
    } else {
        *cursor = reinterpret_cast<const char*>(p);
        return -1;
    }
    for (; missing > 0 && p < stop; --missing) {
        if ((*p & 0x80) == 0) {
            *cursor = reinterpret_cast<const char*>(p);
            return -1;
        }
        value = (value << 6) | (*p++ & 0x3F);
    }
    *cursor = reinterpret_cast<const char*>(p);
    return missing > 0 ? -1 : static_cast<int>(value);
}

bool TestUtf8(const char* bytes, int length, int* multiByteCount, bool* failedAtEnd) {
    int count = 0;
    const char* p = bytes;
    const char* const end = bytes + (length > 0 ? length : 0);
    bool valid = true;
    while (p < end && *p != '\0') {
        if (static_cast<unsigned char>(*p) < 0x80) {
            ++p;
            continue;
        }
        ++count;
        if (DecodeUtf8(&p, end) == -1) {
            valid = false;
            break;
        }
    }
    if (multiByteCount != nullptr) {
        *multiByteCount = count;
    }
    if (failedAtEnd != nullptr) {
        *failedAtEnd = !valid && p == end;
    }
    return valid;
}

int DecodeUtf16(const uint16_t** cursor, const uint16_t* end) {
    const uint16_t* p = *cursor;
    if (p >= end) {
        return -1;
    }
    const unsigned first = *p++;
    *cursor = p;
    if (first < 0xD800 || first > 0xDFFF) {
        return static_cast<int>(first);
    }
    // Only a high surrogate followed by a low one makes a pair; anything else
    // is invalid and the unit after it is left for the next call.
    if (first > 0xDBFF || p >= end || *p < 0xDC00 || *p > 0xDFFF) {
        return -1;
    }
    const unsigned second = *p++;
    *cursor = p;
    return static_cast<int>((((first & 0x3FF) << 10) | (second & 0x3FF)) + 0x10000);
}

void EncodeUtf8(uint32_t codePoint, char* buffer, int* length) {
    if (buffer != nullptr) {
        platform::WriteUtf8(codePoint, buffer + *length);
    }
    *length += platform::Utf8Length(codePoint);
}

void EncodeUtf16(uint32_t codePoint, uint16_t* buffer, int* length) {
    int n = *length;
    if (codePoint < 0x10000) {
        if (buffer != nullptr) {
            buffer[n] = static_cast<uint16_t>(codePoint);
        }
        *length = n + 1;
        return;
    }
    if (buffer != nullptr) {
        buffer[n] = static_cast<uint16_t>(0xD800 | (((codePoint - 0x10000) >> 10) & 0x3FF));
        buffer[n + 1] = static_cast<uint16_t>(0xDC00 | (codePoint & 0x3FF));
    }
    *length = n + 2;
}
