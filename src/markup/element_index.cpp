#include "markup/element_index.h"

#include <cstdlib>
#include <new>

namespace {

// Blocks are plain malloc blocks so that growing the last one is a realloc:
// the allocator extends it in place when it can, where a new block plus
// memcpy would always copy.
ElementEntry* ResizeBlock(ElementEntry* block, int32_t entries) {
    void* memory = std::realloc(block, sizeof(ElementEntry) * static_cast<size_t>(entries));
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return static_cast<ElementEntry*>(memory);
}

int32_t BlocksFor(int32_t capacity) {
    return capacity == 0 ? 0 : (capacity - 1) / ElementIndex::kBlockEntries + 1;
}

}  // namespace

ElementIndex::~ElementIndex() {
    Clear();
}

void ElementIndex::Clear() {
    if (blocks_ != nullptr) {
        const int32_t inUse = BlocksFor(capacity_);
        for (int32_t k = 0; k < inUse; ++k) {
            std::free(blocks_[k]);
        }
        delete[] blocks_;
    }
    blocks_ = nullptr;
    capacity_ = 0;
    blockSlots_ = 0;
    lastRoom_ = 0;
}

void ElementIndex::SetRoomHint(int32_t slots) {
    roomHint_ = slots < kBlockEntries ? slots : kBlockEntries;
}

void ElementIndex::Trim() {
    roomHint_ = 0;
    if (capacity_ == 0) {
        return;
    }
    const int32_t last = BlocksFor(capacity_) - 1;
    const int32_t lastIn = capacity_ - kBlockEntries * last;
    if (lastRoom_ > lastIn) {
        // Shrinking keeps the block where it is; should the allocator still
        // refuse, the block keeps its room.
        void* memory =
            std::realloc(blocks_[last], sizeof(ElementEntry) * static_cast<size_t>(lastIn));
        if (memory != nullptr) {
            blocks_[last] = static_cast<ElementEntry*>(memory);
            lastRoom_ = lastIn;
        }
    }
}

void ElementIndex::Grow(int32_t n) {
    if (capacity_ >= n) {
        return;
    }
    // The capacity grows by one page per call at most.
    const int32_t oldLastPage = capacity_ == 0 ? 0 : (capacity_ - 1) / kPageEntries;
    if ((n - 1) / kPageEntries > oldLastPage + 1) {
        n = (oldLastPage + 2) * kPageEntries;
    }
    const int32_t oldBlocks = BlocksFor(capacity_);
    const int32_t newBlocks = BlocksFor(n);
    if (blockSlots_ < newBlocks) {
        const int32_t slots = 2 * newBlocks + 4;
        ElementEntry** blocks = new ElementEntry*[slots];
        for (int32_t k = 0; k < oldBlocks; ++k) {
            blocks[k] = blocks_[k];
        }
        delete[] blocks_;
        blocks_ = blocks;
        blockSlots_ = slots;
    }
    // The old last block first (to full size when others follow it), then
    // the new ones; capacity_ follows each step, so that a failed allocation
    // leaves a consistent index behind.
    for (int32_t k = oldBlocks == 0 ? 0 : oldBlocks - 1; k < newBlocks; ++k) {
        const int32_t start = k * kBlockEntries;
        const int32_t want = n - start < kBlockEntries ? n - start : kBlockEntries;
        const bool exists = k < oldBlocks;
        if (!exists || want > lastRoom_) {
            const int32_t room = want < roomHint_ ? roomHint_ : want;
            blocks_[k] = ResizeBlock(exists ? blocks_[k] : nullptr, room);
            lastRoom_ = room;
        }
        capacity_ = start + want;
    }
}
