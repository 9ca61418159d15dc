// Code-page services on Windows: the system's own conversion functions.
#include "platform/codepage.h"

#include <windows.h>

namespace platform {

int MultiByteToUtf16(int codePage, const char* source, int length, uint16_t* buffer, int capacity) {
    if (length <= 0 || source == nullptr) {
        return 0;
    }
    if (buffer == nullptr) {
        capacity = 0;
    }
    return MultiByteToWideChar(static_cast<UINT>(codePage), 0, source, length,
                               reinterpret_cast<wchar_t*>(buffer), capacity);
}

int Utf16ToMultiByte(int codePage, const uint16_t* source, int length, char* buffer, int capacity,
                     int32_t* usedDefault) {
    if (usedDefault != nullptr) {
        *usedDefault = 0;
    }
    if (length <= 0 || source == nullptr) {
        return 0;
    }
    if (buffer == nullptr) {
        capacity = 0;
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(source);
    BOOL used = FALSE;
    int produced = WideCharToMultiByte(static_cast<UINT>(codePage), 0, wide, length, buffer,
                                       capacity, nullptr, usedDefault != nullptr ? &used : nullptr);
    if (produced == 0 && usedDefault != nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        // A code page that refuses the default-character question (UTF-8 as the
        // ANSI code page, for one): convert without it.
        produced = WideCharToMultiByte(static_cast<UINT>(codePage), 0, wide, length, buffer,
                                       capacity, nullptr, nullptr);
        used = FALSE;
    }
    if (usedDefault != nullptr) {
        *usedDefault = used ? 1 : 0;
    }
    return produced;
}

}  // namespace platform
