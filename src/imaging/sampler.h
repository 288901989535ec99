#pragma once

#include <QImage>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "imaging/image.h"
#include "imaging/pixelbuffer.h"

namespace imaging {

// Bilinear sampling of an image over a region, for kernels that read their input at computed
// points (warps, displacements). Reads pictures where they already lie instead of copying the
// region into a float buffer first: an 8-bit bitmap (the preview's reduced copy, a texture) is
// sampled byte by byte, a cached picture in its cache. Anything else is rendered over the region
// once. Either way the samples equal those of a buffer rendered over the region (up to float
// rounding): transparent beyond the image, and beyond the region for rendered inputs.
class Sampler
{
public:
    // Ready for points whose 2 x 2 footprint lies in `region`. May throw std::bad_alloc (as a
    // PixelBuffer does) when the region has to be rendered.
    Sampler(const Image &image, const Rect &region);

    void sample(double x, double y, float *out) const
    {
        if (m_bits) {
            // Nearly every sample has its 2 x 2 footprint inside the shown pixels: that case is
            // inlined into the kernels' loops.
            const double rx = x - 0.5, ry = y - 0.5;
            if (rx >= m_inner.x0 && ry >= m_inner.y0 && rx < m_inner.x1 && ry < m_inner.y1) sampleInside(rx, ry, out);
            else sampleBitmap(x, y, out);
        } else {
            m_buffer->sampleBilinear(x, y, out);
        }
    }

    // Pixels (x, y) to (x + count - 1, y) as they are, the samples at their centres, when the
    // sampler holds them all; false (and nothing written) otherwise.
    bool copyPixels(int x, int y, int count, float *out) const;

    // The 8-bit premultiplied bitmap behind an image that shows it unchanged or cropped (a
    // source, a cache of one, crops of those), with the pixels it shows; nullptr otherwise. Deep
    // bitmaps do not qualify (their depth would be lost).
    static const QImage *bitmapOf(const Image &image, PixelRect &shown);

private:
    // The bilinear sample at (rx, ry) = (x - 0.5, y - 0.5) whose four pixels are all shown.
    // Pixel (i, j) of image space is byte row (height - 1 - j) of the bitmap; an ARGB32 pixel is
    // stored as the bytes B, G, R, A. The arithmetic is that of PixelBuffer::sampleBilinear on
    // the converted pixels, in the same order, so both give the same floats.
    void sampleInside(double rx, double ry, float *out) const
    {
        const int ix = static_cast<int>(rx), iy = static_cast<int>(ry);
        const float tx = static_cast<float>(rx - ix), ty = static_cast<float>(ry - iy);
        const uchar *a = m_bits + (m_height - 1 - iy) * m_bytesPerLine + ix * 4, *b = a - m_bytesPerLine;
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        const __m128 scale = _mm_set1_ps(1.0f / 255.0f);
        // Two neighbouring pixels of a row as RGBA floats.
        auto pair = [&](const uchar *p, __m128 &left, __m128 &right) {
            const __m128i words = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p)), zero);
            __m128 l = _mm_cvtepi32_ps(_mm_unpacklo_epi16(words, zero)), r = _mm_cvtepi32_ps(_mm_unpackhi_epi16(words, zero));
            left = _mm_mul_ps(_mm_shuffle_ps(l, l, _MM_SHUFFLE(3, 0, 1, 2)), scale);
            right = _mm_mul_ps(_mm_shuffle_ps(r, r, _MM_SHUFFLE(3, 0, 1, 2)), scale);
        };
        __m128 a0, a1, b0, b1;
        pair(a, a0, a1);
        pair(b, b0, b1);
        const __m128 vx = _mm_set1_ps(tx), vy = _mm_set1_ps(ty);
        const __m128 top = _mm_add_ps(a0, _mm_mul_ps(_mm_sub_ps(a1, a0), vx));
        const __m128 bottom = _mm_add_ps(b0, _mm_mul_ps(_mm_sub_ps(b1, b0), vx));
        _mm_storeu_ps(out, _mm_add_ps(top, _mm_mul_ps(_mm_sub_ps(bottom, top), vy)));
#else
        static constexpr int order[4] = {2, 1, 0, 3};
        constexpr float scale = 1.0f / 255.0f;
        for (int c = 0; c < 4; ++c) {
            const int k = order[c];
            const float a0 = a[k] * scale, a1 = a[k + 4] * scale, b0 = b[k] * scale, b1 = b[k + 4] * scale;
            const float top = a0 + (a1 - a0) * tx;
            const float bottom = b0 + (b1 - b0) * tx;
            out[c] = top + (bottom - top) * ty;
        }
#endif
    }
    void sampleBitmap(double x, double y, float *out) const;

    PixelBuffer m_rendered;
    const PixelBuffer *m_buffer = nullptr;
    const uchar *m_bits = nullptr;
    qsizetype m_bytesPerLine = 0;
    int m_height = 0;
    PixelRect m_shown;
    // Where (x - 0.5, y - 0.5) may lie for sampleInside: its pixel and the next ones shown.
    struct { double x0 = 0, y0 = 0, x1 = 0, y1 = 0; } m_inner;
};

} // namespace imaging
