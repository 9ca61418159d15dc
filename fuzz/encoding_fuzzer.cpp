// Any bytes through EncodingConverter between the encodings a file may name:
// the measuring pass and the converting pass agree, and the converting pass
// writes nothing beyond a buffer of exactly the measured size. The UTF-8 and
// UTF-16 decoders are walked over the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "markup/encodings.h"

namespace {

const char* const kEncodings[] = {
    "",         "UTF-8",        "UTF-16",       "UTF-16LE", "UTF-16BE",    "UTF-32",
    "UTF-32LE", "windows-1252", "ISO-8859-1",   "GB2312",   "Shift_JIS",   "Big5",
    "KOI8-R",   "EUC-JP",       "windows-1251", "us-ascii", "ISO-8859-15", "unknown-name",
};
constexpr size_t kEncodingCount = sizeof(kEncodings) / sizeof(kEncodings[0]);

// Bytes per unit of text in the named encoding, as the converter reads it.
size_t UnitBytes(const char* name) {
    switch (LookupCodePage(name)) {
        case kCodePageUtf16:
            return 2;
        case kCodePageUtf32:
            return 4;
        default:
            return 1;
    }
}

void Convert(const char* from, const char* to, const uint8_t* data, size_t size) {
    const size_t fromUnit = UnitBytes(from);
    const size_t units = size / fromUnit;
    // A copy of exactly the source's units, aligned for its unit size.
    std::unique_ptr<uint32_t[]> source(new uint32_t[units * fromUnit / 4 + 1]);
    std::memcpy(source.get(), data, units * fromUnit);

    EncodingConverter measure(from, source.get(), static_cast<int32_t>(units));
    const int32_t measured = measure.ConvertText(nullptr, to);
    FUZZ_CHECK(measured >= 0);
    FUZZ_CHECK(measured == measure.toLength);

    const size_t toUnit = UnitBytes(to);
    // Exactly the measured size: AddressSanitizer reports any write beyond it.
    std::unique_ptr<char[]> target(
        new char[static_cast<size_t>(measured) * toUnit + (measured == 0)]);
    EncodingConverter convert(from, source.get(), static_cast<int32_t>(units));
    convert.toLength = measured;
    const int32_t converted = convert.ConvertText(target.get(), to);
    FUZZ_CHECK(converted == measured);
}

void WalkDecoders(const uint8_t* data, size_t size) {
    const char* cursor = reinterpret_cast<const char*>(data);
    const char* const end = cursor + size;
    while (cursor < end) {
        const char* before = cursor;
        (void)DecodeUtf8(&cursor, end);
        FUZZ_CHECK(cursor > before && cursor <= end);
    }
    std::unique_ptr<uint16_t[]> wide(new uint16_t[size / 2 + 1]);
    std::memcpy(wide.get(), data, size / 2 * 2);
    const uint16_t* unit = wide.get();
    const uint16_t* const wideEnd = unit + size / 2;
    while (unit < wideEnd) {
        const uint16_t* before = unit;
        (void)DecodeUtf16(&unit, wideEnd);
        FUZZ_CHECK(unit > before && unit <= wideEnd);
    }
    int multiByte = 0;
    bool failedAtEnd = false;
    (void)TestUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size), &multiByte,
                   &failedAtEnd);
    FUZZ_CHECK(multiByte >= 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const char* from = kEncodings[data[0] % kEncodingCount];
    const char* to = kEncodings[data[1] % kEncodingCount];
    data += 2;
    size -= 2;
    Convert(from, to, data, size);
    WalkDecoders(data, size);
    return 0;
}
