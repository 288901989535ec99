#include "imaging/bufferpool.h"

#include <cstdlib>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace imaging {

namespace {

constexpr std::size_t hugePage = 2u << 20;
constexpr std::size_t cacheLimit = 160u << 20;  // bytes kept per thread
constexpr std::size_t cachedBlockLimit = 64u << 20;

struct Block
{
    void *data;
    std::size_t capacity;
};

struct ThreadCache
{
    std::vector<Block> blocks;
    std::size_t bytes = 0;
    ~ThreadCache()
    {
        for (Block &b : blocks) std::free(b.data);
    }
};

thread_local ThreadCache cache;

void *allocate(std::size_t bytes, std::size_t &capacity)
{
    if (bytes >= 2 * hugePage) {
        capacity = (bytes + hugePage - 1) / hugePage * hugePage;
        void *p = std::aligned_alloc(hugePage, capacity);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (p) madvise(p, capacity, MADV_HUGEPAGE);
#endif
        return p;
    }
    capacity = (bytes + 63) / 64 * 64;
    return std::aligned_alloc(64, capacity);
}

} // namespace

void *BufferPool::acquire(std::size_t bytes, std::size_t &capacity)
{
    if (bytes == 0) bytes = 64;
    auto &blocks = cache.blocks;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        // Reuse a block that fits without wasting more than half of it.
        if (blocks[i].capacity >= bytes && blocks[i].capacity <= 2 * bytes + 4096) {
            Block b = blocks[i];
            blocks.erase(blocks.begin() + static_cast<std::ptrdiff_t>(i));
            cache.bytes -= b.capacity;
            capacity = b.capacity;
            return b.data;
        }
    }
    return allocate(bytes, capacity);
}

void BufferPool::release(void *block, std::size_t capacity)
{
    if (!block) return;
    if (capacity > cachedBlockLimit) {
        std::free(block);
        return;
    }
    cache.blocks.push_back({block, capacity});
    cache.bytes += capacity;
    // Drop the oldest blocks beyond the per-thread limit.
    while (cache.bytes > cacheLimit && !cache.blocks.empty()) {
        cache.bytes -= cache.blocks.front().capacity;
        std::free(cache.blocks.front().data);
        cache.blocks.erase(cache.blocks.begin());
    }
}

void *BufferPool::allocateLarge(std::size_t bytes)
{
    std::size_t capacity;
    return allocate(bytes, capacity);
}

} // namespace imaging
