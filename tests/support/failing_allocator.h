// Allocation failure on demand: while a FailingAllocations guard lives, the
// operator new calls of its thread are counted and the one numbered
// `failAt` (from 0) throws std::bad_alloc (the nothrow forms return null).
// Linking tests/support/failing_allocator.cpp into a test program replaces
// the global operator new and delete; without a guard they are plain malloc
// and free.
#pragma once

namespace testing_support {

class FailingAllocations {
  public:
    explicit FailingAllocations(long failAt);
    ~FailingAllocations();
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;

    // Allocations counted so far, the failed one included.
    long Seen() const;
    // Whether the allocation numbered `failAt` was reached and failed.
    bool Failed() const;
};

// Calls body(failAt) for failAt = 0, 1, 2, ... while it returns true. The
// body arms FailingAllocations(failAt) around the code under test (after any
// setup that is not under test) and returns the guard's Failed(): the runs
// end with the first one that met no failure. Returns the failing runs.
template <typename Body>
long ForEachFailingAllocation(Body body) {
    long failAt = 0;
    while (body(failAt)) {
        ++failAt;
    }
    return failAt;
}

}  // namespace testing_support
