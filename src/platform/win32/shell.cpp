#include "platform/shell.h"

#include <windows.h>

// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdint>

namespace platform {

bool RunShellCommand(const std::string& command) {
    HINSTANCE result = ShellExecuteA(nullptr, "open", command.c_str(), nullptr, nullptr, SW_HIDE);
    // Values above 32 mean success.
    return reinterpret_cast<intptr_t>(result) > 32;
}

}  // namespace platform
