// EncodingConverter: one conversion job, measured first and then converted
// into the caller's buffer. UTF-32 is converted by hand; everything else goes
// through UTF-16 and the platform's code-page services.
#include <memory>

#include "markup/encodings.h"
#include "platform/ansi.h"
#include "platform/codepage.h"

namespace {

constexpr uint32_t kReplacement = '?';

// A 32-bit unit that no encoding can carry: a surrogate or beyond U+10FFFF.
bool IsInvalidCodePoint(uint32_t unit) {
    return unit > 0x10FFFF || (unit >= 0xD800 && unit <= 0xDFFF);
}

// Encodes each unit of a UTF-32 source with encode (EncodeUtf8 or EncodeUtf16),
// writing at most capacity units when out is given. Returns the units produced.
template <typename Unit>
int32_t FromUtf32(const uint32_t* source, int32_t length, Unit* out, int32_t capacity,
                  void (*encode)(uint32_t, Unit*, int*)) {
    Unit units[4];
    int n = 0;
    for (int32_t i = 0; i < length; ++i) {
        const uint32_t unit = IsInvalidCodePoint(source[i]) ? kReplacement : source[i];
        int produced = 0;
        encode(unit, units, &produced);
        if (out != nullptr && n + produced <= capacity) {
            for (int k = 0; k < produced; ++k) {
                out[n + k] = units[k];
            }
        }
        n += produced;
    }
    return n;
}

// Decodes a UTF-8 or UTF-16 source into 32-bit units ("?" for an invalid
// sequence), writing at most capacity units when out is given.
template <typename Unit>
int32_t ToUtf32(const Unit* source, int32_t length, uint32_t* out, int32_t capacity,
                int (*decode)(const Unit**, const Unit*)) {
    const Unit* p = source;
    const Unit* const end = source + length;
    int32_t n = 0;
    while (p < end) {
        const int codePoint = decode(&p, end);
        if (out != nullptr && n < capacity) {
            out[n] = codePoint < 0 ? kReplacement : static_cast<uint32_t>(codePoint);
        }
        ++n;
    }
    return n;
}

}  // namespace

EncodingConverter::EncodingConverter(const char* from, const void* buffer, int32_t length)
    : fromEncoding(from != nullptr ? from : ""), fromBuffer(buffer), fromLength(length) {}

int32_t EncodingConverter::ConvertText(void* toBuffer, const char* newTarget) {
    if (newTarget != nullptr) {
        toEncoding = newTarget;
    }
    // A name the table does not know is taken as the ANSI code page.
    int to = LookupCodePage(toEncoding.c_str());
    int from = LookupCodePage(fromEncoding.c_str());
    if (to == -1) {
        to = kCodePageAnsi;
    }
    if (from == -1) {
        from = kCodePageAnsi;
    }
    failedCount = 0;
    // The buffer of a converting pass holds what the measuring pass produced;
    // the hand-written conversions never write beyond it.
    const int32_t capacity = toLength;
    const int32_t length = fromBuffer != nullptr && fromLength > 0 ? fromLength : 0;
    // The platform refuses the loss question for some code pages; code page 0
    // is asked about as the code page it stands for.
    const int lossCodePage = to == kCodePageAnsi ? platform::AnsiCodePage() : to;
    int32_t* const loss = SkipsLossCheck(lossCodePage) ? nullptr : &failedCount;
    int32_t n = 0;

    if (length == 0) {
        n = 0;
    } else if (from == kCodePageUtf32) {
        const auto* source = static_cast<const uint32_t*>(fromBuffer);
        if (to == kCodePageUtf8) {
            n = FromUtf32<char>(source, length, static_cast<char*>(toBuffer), capacity, EncodeUtf8);
        } else if (to == kCodePageUtf16) {
            n = FromUtf32<uint16_t>(source, length, static_cast<uint16_t*>(toBuffer), capacity,
                                    EncodeUtf16);
        }
    } else if (from == kCodePageUtf16) {
        const auto* source = static_cast<const uint16_t*>(fromBuffer);
        if (to == kCodePageUtf32) {
            n = ToUtf32<uint16_t>(source, length, static_cast<uint32_t*>(toBuffer), capacity,
                                  DecodeUtf16);
        } else {
            n = platform::Utf16ToMultiByte(to, source, length, static_cast<char*>(toBuffer),
                                           capacity != 0 ? capacity + 1 : 0, loss);
        }
    } else if (to == kCodePageUtf16) {
        n = platform::MultiByteToUtf16(from, static_cast<const char*>(fromBuffer), length,
                                       static_cast<uint16_t*>(toBuffer), capacity);
    } else if (to == kCodePageUtf32) {
        if (from == kCodePageUtf8) {
            n = ToUtf32<char>(static_cast<const char*>(fromBuffer), length,
                              static_cast<uint32_t*>(toBuffer), capacity, DecodeUtf8);
        }
    } else {
        // 8-bit to 8-bit through UTF-16; no code page makes more 16-bit units
        // than it has bytes.
        std::unique_ptr<uint16_t[]> scratch(new uint16_t[length]);
        const int wide = platform::MultiByteToUtf16(from, static_cast<const char*>(fromBuffer),
                                                    length, scratch.get(), length);
        n = platform::Utf16ToMultiByte(to, scratch.get(), wide, static_cast<char*>(toBuffer),
                                       capacity, loss);
    }
    toLength = n;
    return n;
}
