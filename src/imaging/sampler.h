#pragma once

#include <QImage>

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
        if (m_bits) sampleBitmap(x, y, out);
        else m_buffer->sampleBilinear(x, y, out);
    }

    // The 8-bit premultiplied bitmap behind an image that shows it unchanged or cropped (a
    // source, a cache of one, crops of those), with the pixels it shows; nullptr otherwise. Deep
    // bitmaps do not qualify (their depth would be lost).
    static const QImage *bitmapOf(const Image &image, PixelRect &shown);

private:
    void sampleBitmap(double x, double y, float *out) const;

    PixelBuffer m_rendered;
    const PixelBuffer *m_buffer = nullptr;
    const uchar *m_bits = nullptr;
    qsizetype m_bytesPerLine = 0;
    int m_height = 0;
    PixelRect m_shown;
};

} // namespace imaging
