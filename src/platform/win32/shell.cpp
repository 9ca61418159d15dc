#include "platform/shell.h"

#include <windows.h>

// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdint>

namespace platform {

bool RunShellCommand(const std::string& command, int32_t* code) {
    HINSTANCE result = ShellExecuteA(nullptr, "open", command.c_str(), nullptr, nullptr, SW_HIDE);
    *code = static_cast<int32_t>(reinterpret_cast<intptr_t>(result));
    // Values above 32 mean success.
    return *code > 32;
}

}  // namespace platform
