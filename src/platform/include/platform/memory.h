// Large zero-filled blocks whose pages cost no resident memory until they are
// first written: the watchdog's buffers are big, and mostly never touched.
#pragma once

#include <cstddef>

namespace platform {

// A block of `bytes` zero bytes, backed by the system lazily. Null when the
// address space cannot be had.
void* AllocateZeroedPages(std::size_t bytes);

// Releases a block from AllocateZeroedPages (null is ignored).
void ReleasePages(void* block, std::size_t bytes);

}  // namespace platform
