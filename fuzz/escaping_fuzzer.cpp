// Any bytes through UnescapeValue and EscapeValue: no overrun, and a value
// escaped for the document reads back unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "markup/escaping.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint32_t trimOptions =
        (data[0] & 1 ? kUnescapeTrim : 0) | (data[0] & 2 ? kUnescapeCollapse : 0);
    const int escapeOptions =
        (data[0] & 4 ? kEscapeAttribute : 0) | (data[0] & 8 ? kEscapeKeepReferences : 0);
    std::string value(reinterpret_cast<const char*>(data + 1), size - 1);

    (void)UnescapeValue(value.data(), static_cast<int>(value.size()), trimOptions);
    (void)UnescapeValue(value.c_str(), -1, trimOptions);
    (void)EscapeCData(value);

    std::string escaped = EscapeValue(value, escapeOptions);
    if ((escapeOptions & kEscapeKeepReferences) == 0) {
        std::string back = UnescapeValue(escaped.data(), static_cast<int>(escaped.size()), 0);
        FUZZ_CHECK(back == value);
    }
    return 0;
}
