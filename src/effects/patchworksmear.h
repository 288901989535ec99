#pragma once

#include <cstdint>

// The patchwork's smearing: `copies` short pixel copies over an n x n tile of 32-bit pixels (row
// r at tile + r * n), each copy taking as its column the row of the copy before it, so that
// colours clump. The numbers come from a splitmix64 sequence whose state is `state` before the
// first copy, one number per copy: its top three 15-bit fields pick the row (over n - 3) and the
// step of zero to three pixels right and down. A copy that would reach past the tile is skipped.
namespace patchworksmear {

// The next number of a splitmix64 sequence (the tile's generator): every state gives a
// full-period, well-mixed sequence, and the n-th number needs only the state n steps on.
inline constexpr uint64_t golden = 0x9E3779B97F4A7C15ull; // the state's step

inline uint64_t next(uint64_t &state)
{
    uint64_t z = (state += golden);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// The instructions smear may use: the widest vectors the processor has, at most AVX2's, or none
// (one copy after the other, which defines the result). Every choice gives the same tile.
enum class Vectors { Widest, Avx2, None };

// With vectors, the numbers of several copies are worked out at once (one at a time they cost
// four fifths of the time); the copies themselves are still made in order.
void smear(uint32_t *tile, int n, long copies, uint64_t state, Vectors allowed = Vectors::Widest);

} // namespace patchworksmear
