#pragma once

#include <cstddef>
#include <memory>

#include "imaging/bufferpool.h"
#include "imaging/pixelrect.h"

namespace imaging {

// The renderer's working format: float RGBA, premultiplied alpha, covering one PixelRect.
// Row 0 is the bottom row (y = rect.y0), matching image space where y grows upward.
class PixelBuffer
{
public:
    PixelBuffer() = default;
    // The contents start undefined: every node fills every pixel it is asked for. Throws
    // std::bad_alloc when the pool cannot supply the memory; the Renderer turns that into a
    // failed render, so nodes need not check.
    explicit PixelBuffer(const PixelRect &rect);

    PixelBuffer(PixelBuffer &&) noexcept = default;
    PixelBuffer &operator=(PixelBuffer &&) noexcept = default;

    const PixelRect &rect() const { return m_rect; }
    int width() const { return m_rect.width(); }
    int height() const { return m_rect.height(); }
    bool isEmpty() const { return m_rect.isEmpty(); }
    std::size_t stride() const { return static_cast<std::size_t>(width()) * 4; }

    float *data() { return m_data.get(); }
    const float *data() const { return m_data.get(); }
    // y and x are image-space pixel coordinates inside rect().
    float *row(int y) { return m_data.get() + static_cast<std::size_t>(y - m_rect.y0) * stride(); }
    const float *row(int y) const
    {
        return m_data.get() + static_cast<std::size_t>(y - m_rect.y0) * stride();
    }
    float *pixel(int x, int y) { return row(y) + static_cast<std::size_t>(x - m_rect.x0) * 4; }
    const float *pixel(int x, int y) const
    {
        return row(y) + static_cast<std::size_t>(x - m_rect.x0) * 4;
    }
    bool contains(int x, int y) const
    {
        return x >= m_rect.x0 && x < m_rect.x1 && y >= m_rect.y0 && y < m_rect.y1;
    }

    // Moves the buffer to another position of the same size (used for whole-pixel translations).
    void relabel(const PixelRect &rect)
    {
        if (rect.width() == width() && rect.height() == height()) m_rect = rect;
    }

    void fill(float r, float g, float b, float a);
    void clear() { fill(0, 0, 0, 0); }
    // Sets every pixel outside `keep` to transparent black.
    void clearOutside(const PixelRect &keep);

    // Bilinear sample at an image-space point (pixel centres sit at k + 0.5); transparent beyond
    // the buffer. Writes four premultiplied components.
    void sampleBilinear(double x, double y, float *out) const
    {
        // Fast path: the whole 2 x 2 footprint inside the buffer (nearly every sample).
        // Coordinates relative to the buffer are non-negative here, so truncation is floor.
        const double rx = x - 0.5 - m_rect.x0, ry = y - 0.5 - m_rect.y0;
        if (rx >= 0 && ry >= 0 && rx < width() - 1 && ry < height() - 1) {
            const int ix = static_cast<int>(rx), iy = static_cast<int>(ry);
            const float tx = static_cast<float>(rx - ix), ty = static_cast<float>(ry - iy);
            const float *a = m_data.get() + (static_cast<std::size_t>(iy) * width() + ix) * 4, *b = a + stride();
            for (int c = 0; c < 4; ++c) {
                const float top = a[c] + (a[c + 4] - a[c]) * tx;
                const float bottom = b[c] + (b[c + 4] - b[c]) * tx;
                out[c] = top + (bottom - top) * ty;
            }
            return;
        }
        sampleBilinearEdge(x, y, out);
    }
    // The same with the coordinates clamped to the buffer, so edges extend outward.
    void sampleBilinearClamped(double x, double y, float *out) const;

private:
    void sampleBilinearEdge(double x, double y, float *out) const;

    PixelRect m_rect;
    std::unique_ptr<float[], PoolRelease> m_data;
};

} // namespace imaging
