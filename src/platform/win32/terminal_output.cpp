#include "platform/terminal_output.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

// ENABLE_VIRTUAL_TERMINAL_PROCESSING, absent from older headers.
constexpr DWORD kVirtualTerminal = 0x0004;

}  // namespace

TerminalOutput::TerminalOutput() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (output == nullptr || output == INVALID_HANDLE_VALUE || !GetConsoleMode(output, &mode)) {
        return;
    }
    terminal_ = true;
    savedCodePage_ = GetConsoleOutputCP();
    if (savedCodePage_ != CP_UTF8 && !SetConsoleOutputCP(CP_UTF8)) {
        savedCodePage_ = 0;
    }
    savedMode_ = mode;
    modeChanged_ =
        (mode & kVirtualTerminal) == 0 && SetConsoleMode(output, mode | kVirtualTerminal);
    const char* noColour = std::getenv("NO_COLOR");
    colour_ = ((mode & kVirtualTerminal) != 0 || modeChanged_) &&
              (noColour == nullptr || noColour[0] == '\0');
}

TerminalOutput::~TerminalOutput() {
    std::fflush(stdout);
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (modeChanged_) {
        SetConsoleMode(output, savedMode_);
    }
    if (savedCodePage_ != 0 && savedCodePage_ != CP_UTF8) {
        SetConsoleOutputCP(savedCodePage_);
    }
}

}  // namespace platform
