#include "markup/element_index.h"

#include <cstdlib>
#include <new>

namespace {

// Pages are plain malloc blocks so that growing the last one is a realloc:
// the allocator extends the block in place, or moves its pages without
// copying them, where a new block plus memcpy would always copy.
ElementEntry* ResizePage(ElementEntry* page, int32_t entries) {
    void* block = std::realloc(page, sizeof(ElementEntry) * static_cast<size_t>(entries));
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return static_cast<ElementEntry*>(block);
}

}  // namespace

ElementIndex::~ElementIndex() {
    Clear();
}

void ElementIndex::Clear() {
    if (pages_ != nullptr) {
        const int32_t pagesInUse = capacity_ == 0 ? 0 : (capacity_ - 1) / kPageEntries + 1;
        for (int32_t k = 0; k < pagesInUse; ++k) {
            std::free(pages_[k]);
        }
        delete[] pages_;
    }
    pages_ = nullptr;
    capacity_ = 0;
    pageSlots_ = 0;
}

void ElementIndex::Grow(int32_t n) {
    if (capacity_ >= n) {
        return;
    }
    const int32_t oldLast = capacity_ == 0 ? 0 : (capacity_ - 1) / kPageEntries;
    int32_t newLast = (n - 1) / kPageEntries;
    // One page per step: full pages never move, so only the last, partial
    // page is ever copied.
    if (newLast > oldLast + 1) {
        newLast = oldLast + 1;
        n = (newLast + 1) * kPageEntries;
    }
    if (pageSlots_ <= newLast) {
        const int32_t slots = 2 * newLast + 4;
        ElementEntry** pages = new ElementEntry*[slots];
        const int32_t pagesInUse = capacity_ == 0 ? 0 : oldLast + 1;
        for (int32_t k = 0; k < pagesInUse; ++k) {
            pages[k] = pages_[k];
        }
        delete[] pages_;
        pages_ = pages;
        pageSlots_ = slots;
    }
    const int32_t oldIn = capacity_ - kPageEntries * oldLast;
    const int32_t newIn = n - kPageEntries * newLast;
    if (newLast > oldLast && oldIn < kPageEntries) {
        // Fill the old last page up to a full page first.
        pages_[oldLast] = ResizePage(oldIn != 0 ? pages_[oldLast] : nullptr, kPageEntries);
    }
    pages_[newLast] =
        ResizePage(newLast == oldLast && oldIn != 0 ? pages_[oldLast] : nullptr, newIn);
    capacity_ = n;
}
