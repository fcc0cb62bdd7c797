// Counts what the program asks of the heap through operator new, so tests can bound the memory
// and the allocation work an input costs without looking at the clock. Linked only into the
// resource-bound tests, which replace the global operator new for it.
#pragma once

#include <cstddef>

struct AllocationTotals {
    std::size_t calls = 0;  // operator new calls
    std::size_t bytes = 0;  // bytes asked for, in all
    std::size_t peak = 0;   // highest heap use above the level at the start
};

// Measures the allocations of the current thread from construction to Totals().
class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    AllocationTotals Totals() const;

private:
    std::size_t m_callsAtStart;
    std::size_t m_bytesAtStart;
    std::ptrdiff_t m_liveAtStart;
};

// While one exists, the current thread's requests for more than `largest` bytes fail as if the
// machine had run out of memory (operator new throws std::bad_alloc, the nothrow form returns
// nullptr).
class AllocationLimit {
public:
    explicit AllocationLimit(std::size_t largest);
    ~AllocationLimit();
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;

private:
    std::size_t m_previous;
};
