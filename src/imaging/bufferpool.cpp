#include "imaging/bufferpool.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <vector>

#include <unistd.h>

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

std::size_t defaultBudget()
{
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return std::size_t(4) << 30;
    return static_cast<std::size_t>(pages) / 2 * static_cast<std::size_t>(pageSize);
}

std::atomic<std::size_t> budgetBytes{defaultBudget()};
std::atomic<std::size_t> liveBytes{0}, peakBytes{0}, acquiredBytes{0};

// Counts a block as handed out unless that would pass the budget.
bool reserve(std::size_t capacity)
{
    const std::size_t limit = budgetBytes.load(std::memory_order_relaxed);
    std::size_t live = liveBytes.load(std::memory_order_relaxed);
    do {
        if (capacity > limit || live > limit - capacity) return false;
    } while (!liveBytes.compare_exchange_weak(live, live + capacity, std::memory_order_relaxed));
    const std::size_t now = live + capacity;
    std::size_t peak = peakBytes.load(std::memory_order_relaxed);
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
    acquiredBytes.fetch_add(capacity, std::memory_order_relaxed);
    return true;
}

// Blocks of half a huge page or more are whole huge pages, smaller ones whole cache lines. 0 for
// sizes beyond reach. A tile's buffer (a megabyte or so) is then one page fault instead of
// hundreds: on a virtual machine each fault costs microseconds, and the first render after the
// pool has grown (the first frame of a preview) spent half its time in them. The rounding
// wastes less than half a block, which the pool's reuse rule allows.
std::size_t roundedCapacity(std::size_t bytes)
{
    if (bytes > SIZE_MAX / 2) return 0;
    if (bytes >= hugePage / 2) return (bytes + hugePage - 1) / hugePage * hugePage;
    return (bytes + 63) / 64 * 64;
}

void *allocate(std::size_t capacity)
{
    if (capacity == 0) return nullptr;
    if (capacity >= hugePage) {
        void *p = std::aligned_alloc(hugePage, capacity);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (p) madvise(p, capacity, MADV_HUGEPAGE);
#endif
        return p;
    }
    return std::aligned_alloc(64, capacity);
}

// Output bitmaps of one size follow each other (the frames of a drag, a redraw of the canvas, an
// export after an apply): the last few freed are kept for the next, whose pages are then mapped
// already. Zeroing fresh pages cost a fifth of a render. At most two blocks and 128 MB are kept
// (one full-size bitmap of a 24-megapixel photograph, or two previews). Never destroyed, as
// bitmaps may be freed at exit.
struct RecycledBitmaps
{
    static constexpr std::size_t count = 2, byteLimit = 128u << 20;
    std::mutex mutex;
    std::vector<Block> blocks;
    std::size_t bytes = 0;
};

RecycledBitmaps &recycled()
{
    static auto *r = new RecycledBitmaps;
    return *r;
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
            if (!reserve(b.capacity)) return nullptr;
            blocks.erase(blocks.begin() + static_cast<std::ptrdiff_t>(i));
            cache.bytes -= b.capacity;
            capacity = b.capacity;
            return b.data;
        }
    }
    // The budget is checked before asking the system, which on Linux promises almost any size.
    capacity = roundedCapacity(bytes);
    if (capacity == 0 || !reserve(capacity)) return nullptr;
    void *p = allocate(capacity);
    if (!p) liveBytes.fetch_sub(capacity, std::memory_order_relaxed);
    return p;
}

void BufferPool::release(void *block, std::size_t capacity)
{
    if (!block) return;
    liveBytes.fetch_sub(capacity, std::memory_order_relaxed);
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
    const std::size_t capacity = roundedCapacity(bytes);
    {
        RecycledBitmaps &r = recycled();
        const std::lock_guard lock(r.mutex);
        for (auto it = r.blocks.begin(); it != r.blocks.end(); ++it)
            if (it->capacity == capacity) {
                void *p = it->data;
                r.bytes -= it->capacity;
                r.blocks.erase(it);
                return p;
            }
    }
    return allocate(capacity);
}

void BufferPool::releaseLarge(void *block, std::size_t bytes)
{
    if (!block) return;
    const std::size_t capacity = roundedCapacity(bytes);
    if (capacity == 0 || capacity > RecycledBitmaps::byteLimit) {
        std::free(block);
        return;
    }
    std::vector<void *> dropped;
    {
        RecycledBitmaps &r = recycled();
        const std::lock_guard lock(r.mutex);
        r.blocks.push_back({block, capacity});
        r.bytes += capacity;
        // The oldest go first.
        while (r.blocks.size() > RecycledBitmaps::count || r.bytes > RecycledBitmaps::byteLimit) {
            dropped.push_back(r.blocks.front().data);
            r.bytes -= r.blocks.front().capacity;
            r.blocks.erase(r.blocks.begin());
        }
    }
    for (void *p : dropped) std::free(p);
}

std::size_t BufferPool::budget() { return budgetBytes.load(); }

void BufferPool::setBudget(std::size_t bytes) { budgetBytes.store(bytes); }

BufferPool::Statistics BufferPool::statistics()
{
    return {liveBytes.load(), peakBytes.load(), acquiredBytes.load()};
}

void BufferPool::resetPeak()
{
    peakBytes.store(liveBytes.load());
    acquiredBytes.store(0);
}

} // namespace imaging
