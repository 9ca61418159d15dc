#include "failing_allocator.h"

#include <cstdlib>
#include <new>

namespace {

// Per thread, so that other threads of the test program (and GoogleTest's
// own bookkeeping outside a guard) are never failed.
thread_local bool t_armed = false;
thread_local long t_failAt = -1;
thread_local long t_seen = 0;
thread_local bool t_failed = false;

// Counts the allocation; true when it is the one to fail.
bool ShouldFail() {
    if (!t_armed) {
        return false;
    }
    if (t_seen++ == t_failAt) {
        t_failed = true;
        return true;
    }
    return false;
}

void* Allocate(std::size_t size) {
    if (ShouldFail()) {
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

namespace testing_support {

FailingAllocations::FailingAllocations(long failAt) {
    t_failAt = failAt;
    t_seen = 0;
    t_failed = false;
    t_armed = true;
}

FailingAllocations::~FailingAllocations() {
    t_armed = false;
}

long FailingAllocations::Seen() const {
    return t_seen;
}

bool FailingAllocations::Failed() const {
    return t_failed;
}

}  // namespace testing_support

void* operator new(std::size_t size) {
    void* block = Allocate(size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete[](void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
