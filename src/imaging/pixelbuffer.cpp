#include "imaging/pixelbuffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "imaging/bufferpool.h"

namespace imaging {

PixelBuffer::PixelBuffer(const PixelRect &rect)
    : m_rect(rect.isEmpty() ? PixelRect{} : rect)
{
    if (m_rect.isEmpty()) return;
    std::size_t capacity = 0;
    void *block = BufferPool::acquire(static_cast<std::size_t>(m_rect.area()) * 4 * sizeof(float), capacity);
    if (!block) throw std::bad_alloc();
    m_data = std::unique_ptr<float[], PoolRelease>(static_cast<float *>(block), PoolRelease{capacity});
}

void PixelBuffer::fill(float r, float g, float b, float a)
{
    if (isEmpty()) return;
    if (r == 0 && g == 0 && b == 0 && a == 0) {
        std::memset(m_data.get(), 0, static_cast<std::size_t>(m_rect.area()) * 4 * sizeof(float));
        return;
    }
    float *p = m_data.get();
    for (long long i = 0, n = m_rect.area(); i < n; ++i, p += 4) {
        p[0] = r; p[1] = g; p[2] = b; p[3] = a;
    }
}

void PixelBuffer::clearOutside(const PixelRect &keep)
{
    if (isEmpty()) return;
    const PixelRect k = keep.intersected(m_rect);
    for (int y = m_rect.y0; y < m_rect.y1; ++y) {
        float *r = row(y);
        if (k.isEmpty() || y < k.y0 || y >= k.y1) {
            std::memset(r, 0, stride() * sizeof(float));
            continue;
        }
        std::memset(r, 0, static_cast<std::size_t>(k.x0 - m_rect.x0) * 4 * sizeof(float));
        std::memset(r + static_cast<std::size_t>(k.x1 - m_rect.x0) * 4, 0,
                    static_cast<std::size_t>(m_rect.x1 - k.x1) * 4 * sizeof(float));
    }
}

void PixelBuffer::sampleBilinearEdge(double x, double y, float *out) const
{
    out[0] = out[1] = out[2] = out[3] = 0.f;
    if (isEmpty() || !std::isfinite(x) || !std::isfinite(y)) return;
    const double fx = x - 0.5, fy = y - 0.5;
    if (fx < m_rect.x0 - 1 || fy < m_rect.y0 - 1 || fx >= m_rect.x1 || fy >= m_rect.y1) return;
    const int ix = static_cast<int>(std::floor(fx)), iy = static_cast<int>(std::floor(fy));
    const float tx = static_cast<float>(fx - ix), ty = static_cast<float>(fy - iy);
    const float w[4] = {(1 - tx) * (1 - ty), tx * (1 - ty), (1 - tx) * ty, tx * ty};
    const int xs[4] = {ix, ix + 1, ix, ix + 1}, ys[4] = {iy, iy, iy + 1, iy + 1};
    for (int k = 0; k < 4; ++k) {
        if (!contains(xs[k], ys[k]) || w[k] == 0.f) continue;
        const float *p = pixel(xs[k], ys[k]);
        out[0] += w[k] * p[0]; out[1] += w[k] * p[1]; out[2] += w[k] * p[2]; out[3] += w[k] * p[3];
    }
}

void PixelBuffer::sampleBilinearClamped(double x, double y, float *out) const
{
    if (isEmpty() || !std::isfinite(x) || !std::isfinite(y)) {
        out[0] = out[1] = out[2] = out[3] = 0.f;
        return;
    }
    x = std::clamp(x, m_rect.x0 + 0.5, m_rect.x1 - 0.5);
    y = std::clamp(y, m_rect.y0 + 0.5, m_rect.y1 - 0.5);
    sampleBilinear(x, y, out);
}

} // namespace imaging
