#include "imaging/pixelconvert.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__) && Q_BYTE_ORDER == Q_LITTLE_ENDIAN
#include <emmintrin.h>
#define LUMETTA_SSE2 1
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define LUMETTA_AVX2 1
#endif
#endif

namespace imaging::pixelconvert {

namespace {
// On little-endian machines an ARGB32 pixel is stored as the bytes B, G, R, A.
constexpr float inv255 = 1.0f / 255.0f;

inline void scalarToFloat(const uchar *s, float *d)
{
    d[0] = s[2] * inv255; d[1] = s[1] * inv255; d[2] = s[0] * inv255; d[3] = s[3] * inv255;
}

inline uchar toByte(float v) { return static_cast<uchar>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); }

inline void scalarFromFloat(const float *s, uchar *d)
{
    const float a = std::clamp(s[3], 0.0f, 1.0f);
    d[3] = toByte(a);
    d[2] = toByte(std::min(s[0], a)); d[1] = toByte(std::min(s[1], a)); d[0] = toByte(std::min(s[2], a));
}
} // namespace

#ifdef LUMETTA_AVX2
// AVX2 versions, chosen at run time on processors that have it: two pixels per 256-bit register.
__attribute__((target("avx2"))) int argb32ToFloatAvx2(const uchar *src, float *dst, int count)
{
    // Four pixels are loaded into both halves of a register; one byte shuffle then widens two of
    // them to 32 bits each and puts B G R A in R G B A order at once (a byte index of -1 gives 0).
    const __m256 scale = _mm256_set1_ps(inv255);
    const __m256i first = _mm256_setr_epi8(2, -1, -1, -1, 1, -1, -1, -1, 0, -1, -1, -1, 3, -1, -1, -1,
                                           6, -1, -1, -1, 5, -1, -1, -1, 4, -1, -1, -1, 7, -1, -1, -1);
    const __m256i second = _mm256_setr_epi8(10, -1, -1, -1, 9, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1,
                                            14, -1, -1, -1, 13, -1, -1, -1, 12, -1, -1, -1, 15, -1, -1, -1);
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m256i px = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i * 4)));
        float *d = dst + i * 4;
        _mm256_storeu_ps(d, _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_shuffle_epi8(px, first)), scale));
        _mm256_storeu_ps(d + 8, _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_shuffle_epi8(px, second)), scale));
    }
    return i;
}

__attribute__((target("avx2"))) inline __m256i toBytesAvx2(const float *s)
{
    const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f);
    __m256 p = _mm256_loadu_ps(s);
    __m256 a = _mm256_permute_ps(p, _MM_SHUFFLE(3, 3, 3, 3));
    a = _mm256_min_ps(_mm256_max_ps(a, zero), one);
    p = _mm256_min_ps(_mm256_max_ps(p, zero), a);
    return _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(p, _mm256_set1_ps(255.0f)), _mm256_set1_ps(0.5f)));
}

__attribute__((target("avx2"))) int floatToArgb32Avx2(const float *src, uchar *dst, int count)
{
    const __m256i swap = _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15,
                                          2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const float *s = src + i * 4;
        // packs work within 128-bit lanes; the permute puts the pixels back in order.
        const __m256i a = _mm256_packs_epi32(toBytesAvx2(s), toBytesAvx2(s + 8));
        const __m256i b = _mm256_packs_epi32(toBytesAvx2(s + 16), toBytesAvx2(s + 24));
        __m256i bytes = _mm256_packus_epi16(a, b);
        bytes = _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
        // R G B A -> B G R A, on the bytes: one shuffle for eight pixels.
        bytes = _mm256_shuffle_epi8(bytes, swap);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst + i * 4), bytes);
    }
    return i;
}

const bool hasAvx2 = __builtin_cpu_supports("avx2");
#endif

void argb32ToFloat(const uchar *src, float *dst, int count)
{
    int i = 0;
#ifdef LUMETTA_AVX2
    if (hasAvx2) i = argb32ToFloatAvx2(src, dst, count);
#endif
#ifdef LUMETTA_SSE2
    const __m128 scale = _mm_set1_ps(inv255);
    const __m128i zero = _mm_setzero_si128();
    for (; i + 4 <= count; i += 4) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i * 4));
        const __m128i lo = _mm_unpacklo_epi8(px, zero), hi = _mm_unpackhi_epi8(px, zero);
        __m128 p0 = _mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero));
        __m128 p1 = _mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero));
        __m128 p2 = _mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero));
        __m128 p3 = _mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero));
        // B G R A -> R G B A
        p0 = _mm_shuffle_ps(p0, p0, _MM_SHUFFLE(3, 0, 1, 2));
        p1 = _mm_shuffle_ps(p1, p1, _MM_SHUFFLE(3, 0, 1, 2));
        p2 = _mm_shuffle_ps(p2, p2, _MM_SHUFFLE(3, 0, 1, 2));
        p3 = _mm_shuffle_ps(p3, p3, _MM_SHUFFLE(3, 0, 1, 2));
        float *d = dst + i * 4;
        _mm_storeu_ps(d, _mm_mul_ps(p0, scale));
        _mm_storeu_ps(d + 4, _mm_mul_ps(p1, scale));
        _mm_storeu_ps(d + 8, _mm_mul_ps(p2, scale));
        _mm_storeu_ps(d + 12, _mm_mul_ps(p3, scale));
    }
#endif
    for (; i < count; ++i) scalarToFloat(src + i * 4, dst + i * 4);
}

void rgba64ToFloat(const quint16 *src, float *dst, int count)
{
    constexpr float inv = 1.0f / 65535.0f;
    for (int i = 0; i < count * 4; ++i) dst[i] = src[i] * inv;
}

void floatToArgb32(const float *src, uchar *dst, int count)
{
    int i = 0;
#ifdef LUMETTA_AVX2
    if (hasAvx2) i = floatToArgb32Avx2(src, dst, count);
#endif
#ifdef LUMETTA_SSE2
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
    const __m128 scale = _mm_set1_ps(255.0f), half = _mm_set1_ps(0.5f);
    auto convert = [&](const float *s) {
        __m128 p = _mm_loadu_ps(s);
        // Clamp alpha to 0..1, then colour to 0..alpha: premultiplied data must not exceed alpha.
        __m128 a = _mm_shuffle_ps(p, p, _MM_SHUFFLE(3, 3, 3, 3));
        a = _mm_min_ps(_mm_max_ps(a, zero), one);
        p = _mm_min_ps(_mm_max_ps(p, zero), a);
        // R G B A -> B G R A
        p = _mm_shuffle_ps(p, p, _MM_SHUFFLE(3, 0, 1, 2));
        return _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(p, scale), half));
    };
    for (; i + 4 <= count; i += 4) {
        const float *s = src + i * 4;
        const __m128i a = _mm_packs_epi32(convert(s), convert(s + 4));
        const __m128i b = _mm_packs_epi32(convert(s + 8), convert(s + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i * 4), _mm_packus_epi16(a, b));
    }
#endif
    for (; i < count; ++i) scalarFromFloat(src + i * 4, dst + i * 4);
}

void halveRows(const uchar *rowA, const uchar *rowB, uchar *dst, int width)
{
    const int outW = (width + 1) / 2;
    int o = 0;
#ifdef LUMETTA_SSE2
    const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
    // Four source pixels of each row give two output pixels.
    for (; 2 * o + 4 <= width; o += 2) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rowA + o * 8));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rowB + o * 8));
        const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
        const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
        const __m128i s0 = _mm_add_epi16(lo, _mm_srli_si128(lo, 8));
        const __m128i s1 = _mm_add_epi16(hi, _mm_srli_si128(hi, 8));
        __m128i sum = _mm_unpacklo_epi64(s0, s1);
        sum = _mm_srli_epi16(_mm_add_epi16(sum, two), 2);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(dst + o * 4), _mm_packus_epi16(sum, zero));
    }
#endif
    for (; o < outW; ++o) {
        const int x0 = 2 * o, x1 = std::min(2 * o + 1, width - 1);
        for (int c = 0; c < 4; ++c) {
            const int s = rowA[x0 * 4 + c] + rowA[x1 * 4 + c] + rowB[x0 * 4 + c] + rowB[x1 * 4 + c];
            dst[o * 4 + c] = static_cast<uchar>((s + 2) >> 2);
        }
    }
}

} // namespace imaging::pixelconvert
