#include "platform/ansi.h"

#include <mbctype.h>
#include <windows.h>

#include "ansi_parts.h"

namespace platform {

namespace {

// Code pages for which WideCharToMultiByte refuses (ERROR_INVALID_PARAMETER)
// both the default-character report and WC_NO_BEST_FIT_CHARS.
bool RefusesLossCheck(UINT codePage) {
    return codePage == 42 || codePage == 65000 || codePage == 65001 ||
           (codePage >= 50220 && codePage <= 50229) || codePage == 52936 || codePage == 54936 ||
           (codePage >= 57002 && codePage <= 57011);
}

}  // namespace

// Lead bytes come from the C runtime's multibyte code page, which starts out
// as the process's ANSI code page.
void MarkAnsiLeadBytes(uint8_t lengths[256]) {
    const int codePage = _getmbcp();
    CPINFO info;
    if (codePage != 0 && GetCPInfo(static_cast<UINT>(codePage), &info) && info.MaxCharSize == 2) {
        for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
            for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) {
                lengths[b] = 2;
            }
        }
    }
}

int AnsiCodePage() {
    return static_cast<int>(GetACP());
}

int EncodeValidAnsiCodePoint(uint32_t codePoint, char* out) {
    wchar_t units[2];
    int unitCount = 1;
    if (codePoint < 0x10000) {
        units[0] = static_cast<wchar_t>(codePoint);
    } else {
        units[0] = static_cast<wchar_t>(0xD800 | (((codePoint - 0x10000) >> 10) & 0x3FF));
        units[1] = static_cast<wchar_t>(0xDC00 | (codePoint & 0x3FF));
        unitCount = 2;
    }
    const UINT codePage = GetACP();
    BOOL usedDefault = FALSE;
    int written;
    if (RefusesLossCheck(codePage)) {
        written = WideCharToMultiByte(CP_ACP, 0, units, unitCount, out, 5, nullptr, nullptr);
    } else {
        written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, unitCount, out, 5,
                                      nullptr, &usedDefault);
    }
    if (written <= 0 || usedDefault) {
        return 0;
    }
    return written;
}

}  // namespace platform
