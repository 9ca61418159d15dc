#include "platform/memory.h"

#include <windows.h>

namespace platform {

void* AllocateZeroedPages(std::size_t bytes) {
    // Committed pages read as zero and get physical memory on first touch.
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void ReleasePages(void* block, std::size_t /*bytes*/) {
    if (block != nullptr) {
        VirtualFree(block, 0, MEM_RELEASE);
    }
}

}  // namespace platform
