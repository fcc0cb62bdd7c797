#include "allocation_counter.h"

#include <cstdlib>
#include <new>

namespace {

// Each block carries its size in front of it, so a delete knows how much it gives back.
constexpr std::size_t kHeader = alignof(std::max_align_t);

struct HeapUse {
    std::size_t calls = 0;
    std::size_t bytes = 0;
    std::ptrdiff_t live = 0;
    std::ptrdiff_t highWater = 0;  // reset by each counter
};

// Per thread: the tests measure the thread they run on, and nothing else disturbs it.
thread_local HeapUse t_heap;
thread_local std::size_t t_largest = static_cast<std::size_t>(-1);

void* Allocate(std::size_t size) {
    if (size > t_largest) return nullptr;
    void* block = std::malloc(size + kHeader);
    if (!block) return nullptr;
    *static_cast<std::size_t*>(block) = size;
    ++t_heap.calls;
    t_heap.bytes += size;
    t_heap.live += static_cast<std::ptrdiff_t>(size);
    if (t_heap.live > t_heap.highWater) t_heap.highWater = t_heap.live;
    return static_cast<char*>(block) + kHeader;
}

void Release(void* p) {
    if (!p) return;
    void* block = static_cast<char*>(p) - kHeader;
    t_heap.live -= static_cast<std::ptrdiff_t>(*static_cast<std::size_t*>(block));
    std::free(block);
}

void* AllocateOrThrow(std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}

}  // namespace

AllocationCounter::AllocationCounter()
    : m_callsAtStart(t_heap.calls), m_bytesAtStart(t_heap.bytes), m_liveAtStart(t_heap.live) {
    t_heap.highWater = t_heap.live;
}

AllocationCounter::~AllocationCounter() = default;

AllocationLimit::AllocationLimit(std::size_t largest) : m_previous(t_largest) {
    t_largest = largest;
}

AllocationLimit::~AllocationLimit() { t_largest = m_previous; }

AllocationTotals AllocationCounter::Totals() const {
    AllocationTotals totals;
    totals.calls = t_heap.calls - m_callsAtStart;
    totals.bytes = t_heap.bytes - m_bytesAtStart;
    totals.peak = static_cast<std::size_t>(t_heap.highWater - m_liveAtStart);
    return totals;
}

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }
