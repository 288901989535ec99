#include "imaging/comiclevels.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace imaging::comiclevels {

namespace {

// Four floats (or ints) handled as one value, with the compiler's vector types.
using Lanes = float __attribute__((vector_size(16)));
using IntLanes = int __attribute__((vector_size(16)));

inline Lanes load(const float *p)
{
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline float clamp01(float v) { return v < 0.f ? 0.f : (v > 1.f ? 1.f : v); }

// The square root of each lane.
inline Lanes squareRoot(Lanes v)
{
#if defined(__SSE__)
    return __builtin_ia32_sqrtps(v);
#else
    for (int c = 0; c < 4; ++c) v[c] = __builtin_sqrtf(v[c]);
    return v;
#endif
}

// 1 / v in each lane, to about 1e-7 of it (an estimate refined once): a division would hold up a
// loop whose other steps are cheap.
inline Lanes reciprocal(Lanes v)
{
#if defined(__SSE__)
    const Lanes r = __builtin_ia32_rcpps(v);
    return r * (2.f - v * r);
#else
    return 1.f / v;
#endif
}

// The comic's level (0..3) of each lane of u, the straight colour times 1.1 * 3: rounded to the
// nearest whole number, within 0..3.
inline Lanes level(Lanes u)
{
    Lanes v = u + 0.5f;
#if defined(__SSE__)
    v = __builtin_ia32_minps(__builtin_ia32_maxps(v, Lanes{0, 0, 0, 0}), Lanes{3.5f, 3.5f, 3.5f, 3.5f});
#else
    v = v < 0.f ? 0.f : (v > 3.5f ? 3.5f : v);
#endif
    return __builtin_convertvector(__builtin_convertvector(v, IntLanes), Lanes);
}

// The mean comic level over colours spread evenly over [u - h, u + h], lane by lane: from G, the
// integral of the levels, which is n u - n² / 2 with n the level at u.
inline Lanes levelSpread(Lanes u, Lanes h)
{
    auto integral = [](Lanes v) {
        const Lanes n = level(v);
        return n * v - n * n * 0.5f;
    };
    // Below a thousandth of a level's step the mean is the level at u, to within rounding.
#if defined(__SSE__)
    const Lanes wide = __builtin_ia32_maxps(h, Lanes{1e-3f, 1e-3f, 1e-3f, 1e-3f});
#else
    const Lanes wide = h < 1e-3f ? 1e-3f : h;
#endif
    return (integral(u + wide) - integral(u - wide)) * reciprocal(2.f * wide);
}

// A pixel's straight colour is its premultiplied one times this over alpha, in units of levels
// (the colour times 1.1, times the three steps between the four levels).
constexpr float levelsPerUnit = 3.3f;

// How much of a pixel's colour its outline leaves, times alpha / 3 (a level's share of full).
inline float inkShare(float edge, float a) { return (1.f - clamp01(edge * 1.5f)) * a * (1.f / 3); }

inline float straightScale(float a) { return (a > 0 ? 1.f / a : 0.f) * levelsPerUnit; }

#if defined(__x86_64__) || defined(__i386__)
#define LUMETTA_COMIC_AVX2 1
// Two pixels per 256-bit register, with the same operations in the same order as the 128-bit
// ones (no fused multiply-adds), so that the results are the same. Returns the pixels done.
// The integral of the levels up to each lane of v, as in levelSpread().
__attribute__((target("avx2"))) inline __m256 integralAvx2(__m256 v)
{
    const __m256 half = _mm256_set1_ps(0.5f);
    __m256 k = _mm256_min_ps(_mm256_max_ps(_mm256_add_ps(v, half), _mm256_setzero_ps()), _mm256_set1_ps(3.5f));
    k = _mm256_cvtepi32_ps(_mm256_cvttps_epi32(k));
    return _mm256_sub_ps(_mm256_mul_ps(k, v), _mm256_mul_ps(_mm256_mul_ps(k, k), half));
}

__attribute__((target("avx2"))) int spreadRowAvx2(const float *s, std::ptrdiff_t up, const float *edge, float *out, int n)
{
    int i = 0;
    for (; i + 2 <= n; i += 2, s += 8, out += 8) {
        const float a0 = s[3], a1 = s[7];
        const float k0 = straightScale(a0), k1 = straightScale(a1);
        const __m256 scale = _mm256_set_ps(k1, k1, k1, k1, k0, k0, k0, k0);
        const __m256 gx = _mm256_sub_ps(_mm256_loadu_ps(s + 4), _mm256_loadu_ps(s - 4));
        const __m256 gy = _mm256_sub_ps(_mm256_loadu_ps(s + up), _mm256_loadu_ps(s - up));
        const __m256 h = _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(gx, gx), _mm256_mul_ps(gy, gy)));
        const __m256 u = _mm256_mul_ps(_mm256_loadu_ps(s), scale);
        const __m256 wide = _mm256_max_ps(_mm256_mul_ps(h, scale), _mm256_set1_ps(1e-3f));
        const __m256 span = _mm256_sub_ps(integralAvx2(_mm256_add_ps(u, wide)), integralAvx2(_mm256_sub_ps(u, wide)));
        const __m256 twice = _mm256_mul_ps(_mm256_set1_ps(2.f), wide);
        const __m256 r = _mm256_rcp_ps(twice);
        const __m256 inverse = _mm256_mul_ps(r, _mm256_sub_ps(_mm256_set1_ps(2.f), _mm256_mul_ps(twice, r)));
        const float m0 = inkShare(edge[i], a0), m1 = inkShare(edge[i + 1], a1);
        const __m256 result = _mm256_mul_ps(_mm256_mul_ps(span, inverse), _mm256_set_ps(m1, m1, m1, m1, m0, m0, m0, m0));
        _mm256_storeu_ps(out, result);
        out[3] = a0;
        out[7] = a1;
    }
    return i;
}

const bool hasAvx2 = __builtin_cpu_supports("avx2");
#endif

} // namespace

// Half the spread of the colours a pixel spans is taken as the whole difference between its
// neighbours on either side: a slope alone would give a quarter of that, but a photograph's
// texture finer than the pixel spreads the colours about as much again as the slope does across
// the neighbours.
void spreadRow(const float *s, std::ptrdiff_t up, const float *edge, float *out, int n)
{
    int i = 0;
#ifdef LUMETTA_COMIC_AVX2
    if (hasAvx2) {
        i = spreadRowAvx2(s, up, edge, out, n);
        s += 4 * i;
        out += 4 * i;
    }
#endif
    for (; i < n; ++i, s += 4, out += 4) {
        const float a = s[3], k = straightScale(a);
        const Lanes gx = load(s + 4) - load(s - 4), gy = load(s + up) - load(s - up);
        const Lanes h = squareRoot(gx * gx + gy * gy);
        const Lanes result = levelSpread(load(s) * k, h * k) * inkShare(edge[i], a);
        std::memcpy(out, &result, sizeof result);
        out[3] = a;
    }
}

} // namespace imaging::comiclevels
