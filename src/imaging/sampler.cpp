#include "imaging/sampler.h"

#include <algorithm>
#include <cmath>

#include "imaging/cachenode.h"
#include "imaging/cropnode.h"
#include "imaging/pixelconvert.h"
#include "imaging/sourcenode.h"

namespace imaging {

const QImage *Sampler::bitmapOf(const Image &image, PixelRect &shown)
{
    const Node *node = image.node().get();
    PixelRect keep{-(1 << 29), -(1 << 29), 1 << 29, 1 << 29};
    // Crops and caches in front of a source change nothing but which pixels show.
    for (;;) {
        if (const auto *crop = dynamic_cast<const CropNode *>(node)) {
            keep = keep.intersected(crop->keptPixels());
            node = crop->input().node().get();
        } else if (const auto *cache = dynamic_cast<const CacheNode *>(node)) {
            node = cache->input().node().get();
        } else {
            break;
        }
    }
    const auto *source = dynamic_cast<const SourceNode *>(node);
    if (!source) return nullptr;
    const QImage &bitmap = source->bitmap();
    if (bitmap.format() != QImage::Format_ARGB32_Premultiplied && bitmap.format() != QImage::Format_RGB32) return nullptr;
    shown = keep.intersected(PixelRect{0, 0, bitmap.width(), bitmap.height()});
    return &bitmap;
}

Sampler::Sampler(const Image &image, const Rect &region)
{
    if (const QImage *bitmap = bitmapOf(image, m_shown); bitmap && !m_shown.isEmpty()) {
        m_bits = bitmap->constBits();
        m_bytesPerLine = bitmap->bytesPerLine();
        m_height = bitmap->height();
        m_inner = {double(m_shown.x0), double(m_shown.y0), double(m_shown.x1 - 1), double(m_shown.y1 - 1)};
        return;
    }
    if (const auto *cache = dynamic_cast<const CacheNode *>(image.node().get())) {
        m_buffer = &cache->pixels();
        return;
    }
    m_rendered = PixelBuffer(PixelRect::covering(region));
    if (!m_rendered.isEmpty()) image.render(m_rendered);
    m_buffer = &m_rendered;
}

bool Sampler::copyPixels(int x, int y, int count, float *out) const
{
    if (m_bits) {
        if (x < m_shown.x0 || x + count > m_shown.x1 || y < m_shown.y0 || y >= m_shown.y1) return false;
        pixelconvert::argb32ToFloat(m_bits + (m_height - 1 - y) * m_bytesPerLine + x * 4, out, count);
        return true;
    }
    const PixelRect &r = m_buffer->rect();
    if (x < r.x0 || x + count > r.x1 || y < r.y0 || y >= r.y1) return false;
    std::copy(m_buffer->pixel(x, y), m_buffer->pixel(x, y) + 4 * count, out);
    return true;
}

namespace {
constexpr float inv255 = 1.0f / 255.0f;
} // namespace

void Sampler::sampleBitmap(double x, double y, float *out) const
{
    const double rx = x - 0.5, ry = y - 0.5;
    const PixelRect &s = m_shown;
    if (rx >= s.x0 && ry >= s.y0 && rx < s.x1 - 1 && ry < s.y1 - 1) {
        sampleInside(rx, ry, out);
        return;
    }
    // Near or beyond the shown pixels: the missing corners are transparent.
    out[0] = out[1] = out[2] = out[3] = 0.f;
    if (!std::isfinite(rx) || !std::isfinite(ry) || rx < s.x0 - 1 || ry < s.y0 - 1 || rx >= s.x1 || ry >= s.y1) return;
    const int ix = static_cast<int>(std::floor(rx)), iy = static_cast<int>(std::floor(ry));
    const float tx = static_cast<float>(rx - ix), ty = static_cast<float>(ry - iy);
    const float w[4] = {(1 - tx) * (1 - ty), tx * (1 - ty), (1 - tx) * ty, tx * ty};
    const int xs[4] = {ix, ix + 1, ix, ix + 1}, ys[4] = {iy, iy, iy + 1, iy + 1};
    for (int k = 0; k < 4; ++k) {
        if (xs[k] < s.x0 || xs[k] >= s.x1 || ys[k] < s.y0 || ys[k] >= s.y1 || w[k] == 0.f) continue;
        const uchar *p = m_bits + (m_height - 1 - ys[k]) * m_bytesPerLine + xs[k] * 4;
        out[0] += w[k] * p[2] * inv255; out[1] += w[k] * p[1] * inv255;
        out[2] += w[k] * p[0] * inv255; out[3] += w[k] * p[3] * inv255;
    }
}

} // namespace imaging
