#include "effects/patchworksmear.h"

#include <cstring>

namespace patchworksmear {

namespace {

// `copies` copies one at a time, from the generator's `state` and the last copy's row `p`; both
// are left as the next copy needs them.
void smearFrom(uint32_t *tile, int n, long copies, uint64_t &state, int &p)
{
    for (long i = 0; i < copies; ++i) {
        const int q = p;
        const uint64_t r = next(state);
        const int kp = int(r >> 49), ka = int((r >> 34) & 0x7FFF), kb = int((r >> 19) & 0x7FFF);
        // Units k / 32767 scaled and truncated, in integers.
        p = kp * (n - 3) / 32767;
        const int a = ka * 3 / 32767, b = kb * 3 / 32767;
        const int dc = q + a, dr = p + b;
        // Two steps at their maximum could reach one pixel beyond the tile (and a tile narrower
        // than 3 gives negative rows): such a copy is skipped.
        if (q < 0 || p < 0 || dc >= n || dr >= n)
            continue;
        tile[dr * n + dc] = tile[p * n + q];
    }
}

#if defined(__x86_64__) || defined(__i386__)

typedef uint64_t u64x4 __attribute__((vector_size(32)));
typedef int64_t i64x4 __attribute__((vector_size(32)));

// Copies in groups of four: the numbers of a block of groups are worked out lane by lane into
// (from, to) pixel pairs, then the block's copies are made in order. Compiled once per vector
// instruction set by the functions below. Needs n >= 3, so that rows are never negative.
inline __attribute__((always_inline)) void smearInGroups(uint32_t *tile, int n, long &copies, uint64_t &state, int &p)
{
    constexpr int block = 1024; // pairs: 8 KB, within the first-level cache with the tile's rows
    alignas(32) uint64_t pairs[block];
    const uint64_t m = uint64_t(n - 3), w = uint64_t(n);
    const u64x4 width = {w, w, w, w};
    u64x4 s = u64x4{1, 2, 3, 4} * golden + state;
    u64x4 previous = {0, 0, 0, uint64_t(p)};
    const long groups = copies / 4;
    for (long done = 0; done < groups;) {
        const int count = int(groups - done < block / 4 ? groups - done : block / 4);
        for (int g = 0; g < count; ++g) {
            // next() for four states at once.
            u64x4 z = s;
            s += 4 * golden;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            z ^= z >> 31;
            const u64x4 kp = z >> 49, ka = (z >> 34) & 0x7FFF, kb = (z >> 19) & 0x7FFF;
            // kp (n - 3) / 32767 for products below 2^23, as a multiplication and a shift.
            const u64x4 row = (kp * m * 16777729u) >> 39;
            // k 3 / 32767 for k up to 32767: how many of the thresholds k reaches.
            const u64x4 a = -(u64x4)((i64x4)ka > 10922) - (u64x4)((i64x4)ka > 21844) - (u64x4)((i64x4)ka > 32766);
            const u64x4 b = -(u64x4)((i64x4)kb > 10922) - (u64x4)((i64x4)kb > 21844) - (u64x4)((i64x4)kb > 32766);
            // Each copy's column is the row of the copy before it.
            const u64x4 column = __builtin_shufflevector(previous, row, 3, 4, 5, 6);
            previous = row;
            const u64x4 dc = column + a, dr = row + b;
            const u64x4 from = row * w + column;
            const u64x4 inside = (u64x4)(((i64x4)dc < (i64x4)width) & ((i64x4)dr < (i64x4)width));
            // A skipped copy becomes a copy of a pixel onto itself.
            const u64x4 to = ((dr * w + dc) & inside) | (from & ~inside);
            const u64x4 pair = from | (to << 32);
            std::memcpy(pairs + 4 * g, &pair, sizeof pair);
        }
        for (int k = 0; k < 4 * count; ++k)
            tile[pairs[k] >> 32] = tile[uint32_t(pairs[k])];
        done += count;
    }
    state += uint64_t(groups) * 4 * golden;
    p = int(previous[3]);
    copies -= groups * 4;
}

__attribute__((target("avx2"))) void smearAvx2(uint32_t *tile, int n, long &copies, uint64_t &state, int &p)
{
    smearInGroups(tile, n, copies, state, p);
}

// 64-bit multiplications in one instruction instead of three.
__attribute__((target("avx2,avx512f,avx512dq,avx512vl"))) void smearAvx512(uint32_t *tile, int n, long &copies,
                                                                          uint64_t &state, int &p)
{
    smearInGroups(tile, n, copies, state, p);
}

const bool hasAvx2 = __builtin_cpu_supports("avx2");
const bool hasAvx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");

#endif

} // namespace

void smear(uint32_t *tile, int n, long copies, uint64_t state, Vectors allowed)
{
    int p = 0;
#if defined(__x86_64__) || defined(__i386__)
    // The groups' division holds for products below 2^23: tiles up to 256 pixels.
    if (n >= 3 && n <= 256) {
        if (hasAvx512 && allowed == Vectors::Widest)
            smearAvx512(tile, n, copies, state, p);
        else if (hasAvx2 && allowed != Vectors::None)
            smearAvx2(tile, n, copies, state, p);
    }
#else
    (void)allowed;
#endif
    // What is left: everything without vectors, the last copies short of a group with them.
    smearFrom(tile, n, copies, state, p);
}

} // namespace patchworksmear
