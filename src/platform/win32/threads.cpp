#include "platform/threads.h"

#include <windows.h>

#include <process.h>

namespace platform {

ThreadHandle StartThread(ThreadEntry entry, void* argument) {
    uintptr_t handle = _beginthreadex(nullptr, 0, entry, argument, 0, nullptr);
    return reinterpret_cast<ThreadHandle>(handle);
}

void CloseThreadHandle(ThreadHandle handle) {
    if (handle != nullptr) {
        CloseHandle(static_cast<HANDLE>(handle));
    }
}

}  // namespace platform
