#pragma once

#include <cstddef>

namespace imaging {

// Memory for pixel buffers. Renders allocate and free many tile-sized blocks; fresh pages cost a
// page fault each (expensive under virtualisation), so each thread keeps a few recently freed
// blocks for reuse, and large blocks ask the kernel for huge pages.
class BufferPool
{
public:
    // At least `bytes` bytes, 64-byte aligned; `capacity` receives the usable size.
    static void *acquire(std::size_t bytes, std::size_t &capacity);
    static void release(void *block, std::size_t capacity);
    // A block for long-lived large data (an output bitmap): huge-page backed when large, never
    // cached. Free with std::free.
    static void *allocateLarge(std::size_t bytes);
};

// Deleter for unique_ptr: returns the block to the pool it came from.
struct PoolRelease
{
    std::size_t capacity = 0;
    void operator()(float *p) const { BufferPool::release(p, capacity); }
};

} // namespace imaging
