#pragma once

#include <cstddef>

namespace imaging {

// Memory for pixel buffers. Renders allocate and free many tile-sized blocks; fresh pages cost a
// page fault each (expensive under virtualisation), so each thread keeps a few recently freed
// blocks for reuse, and large blocks ask the kernel for huge pages.
//
// The blocks handed out at any one time are limited to a budget (half the machine's memory by
// default): a render that would need more fails cleanly instead of being killed by the system
// after the allocator has promised memory it does not have.
class BufferPool
{
public:
    // At least `bytes` bytes, 64-byte aligned; `capacity` receives the usable size. nullptr when
    // the memory cannot be had or would exceed the budget.
    static void *acquire(std::size_t bytes, std::size_t &capacity);
    static void release(void *block, std::size_t capacity);
    // A block for long-lived large data (an output bitmap): huge-page backed when large and
    // outside the budget. nullptr when it cannot be had. Free it with std::free, or with
    // releaseLarge (the same `bytes`) to have the next block of its size reuse its pages.
    static void *allocateLarge(std::size_t bytes);
    static void releaseLarge(void *block, std::size_t bytes);

    // Bytes that acquire() may have handed out at once.
    static std::size_t budget();
    static void setBudget(std::size_t bytes);

    // What the pool has handed out: now, at most since the last resetPeak(), and in total since
    // the last resetPeak() (a measure of the work a render did).
    struct Statistics
    {
        std::size_t live = 0, peak = 0, acquired = 0;
    };
    static Statistics statistics();
    static void resetPeak();
};

// Deleter for unique_ptr: returns the block to the pool it came from.
struct PoolRelease
{
    std::size_t capacity = 0;
    void operator()(float *p) const { BufferPool::release(p, capacity); }
};

} // namespace imaging
