#include "imaging/sourcenode.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <tbb/parallel_for.h>

#include "imaging/bufferpool.h"
#include "imaging/image.h"
#include "imaging/pixelconvert.h"
#include "imaging/qimageadapter.h"

namespace imaging {

SourceNode::SourceNode(QImage image) : m_image(std::move(image)) {}

Rect SourceNode::extent() const
{
    return Rect(0, 0, m_image.width(), m_image.height());
}

void SourceNode::render(PixelBuffer &out) const
{
    const PixelRect full{0, 0, m_image.width(), m_image.height()};
    const PixelRect r = out.rect().intersected(full);
    if (r != out.rect()) out.clearOutside(r);
    if (r.isEmpty()) return;
    const int h = m_image.height();
    const bool deep = m_image.format() == QImage::Format_RGBA64_Premultiplied;
    for (int y = r.y0; y < r.y1; ++y) {
        // QImage row 0 is the top of the picture; image-space row y counts from the bottom.
        const uchar *line = m_image.constScanLine(h - 1 - y);
        float *dst = out.pixel(r.x0, y);
        if (deep)
            pixelconvert::rgba64ToFloat(reinterpret_cast<const quint16 *>(line) + r.x0 * 4, dst,
                                        r.width());
        else
            pixelconvert::argb32ToFloat(line + r.x0 * 4, dst, r.width());
    }
}

// Halves an 8-bit premultiplied bitmap by averaging 2 x 2 blocks. Blocks are anchored at the
// bottom-left corner (image space), so level pixel (i, j) covers source pixels (2i..2i+1, 2j..2j+1)
// counted from the bottom; a missing last row or column repeats the edge.
QImage halvedBitmap(const QImage &src)
{
    const int w = src.width(), h = src.height();
    const int lw = (w + 1) / 2, lh = (h + 1) / 2;
    // Huge pages: a level of a large picture is tens of megabytes written once.
    uchar *data = static_cast<uchar *>(BufferPool::allocateLarge(static_cast<std::size_t>(lw) * lh * 4));
    if (!data) return QImage();
    QImage dst(data, lw, lh, lw * 4, QImage::Format_ARGB32_Premultiplied, [](void *p) { std::free(p); }, data);
    if (dst.isNull()) {
        std::free(data);
        return dst;
    }
    tbb::parallel_for(0, lh, [&](int ly) {
        const int j = lh - 1 - ly;                      // bottom-up index of this level row
        const int yb0 = 2 * j, yb1 = std::min(2 * j + 1, h - 1);
        const uchar *a = src.constScanLine(h - 1 - yb0);
        const uchar *b = src.constScanLine(h - 1 - yb1);
        pixelconvert::halveRows(a, b, dst.scanLine(ly), w);
    });
    return dst;
}

QImage SourceNode::mipLevel(int n) const
{
    std::lock_guard lock(m_mipMutex);
    while (static_cast<int>(m_levels.size()) < n) {
        const QImage &prev = m_levels.empty() ? m_image : m_levels.back();
        QImage base = prev;
        if (base.format() != QImage::Format_ARGB32_Premultiplied && base.format() != QImage::Format_RGB32)
            base = base.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (base.width() <= 1 && base.height() <= 1) break;
        // Without memory for a level the finest one made serves (the preview resamples it by its
        // true size ratio, at some cost in speed).
        QImage level = base.isNull() ? QImage() : halvedBitmap(base);
        if (level.isNull()) break;
        m_levels.push_back(std::move(level));
    }
    return m_levels.empty() ? m_image : m_levels[std::min<std::size_t>(n, m_levels.size()) - 1];
}

Image SourceNode::scaled(const Image &self, double s) const
{
    if (!(s > 0) || s >= 1.0) return Node::scaled(self, s);
    const double pw = std::ceil(m_image.width() * s - 1e-9), ph = std::ceil(m_image.height() * s - 1e-9);
    // Only for 8-bit pictures (a deep one would lose its depth) and while the whole scaled picture
    // stays small; when zoomed in further the visible part is resampled per tile instead.
    constexpr double maxPreviewPixels = 4e6;
    if (m_image.format() == QImage::Format_RGBA64_Premultiplied || pw * ph > maxPreviewPixels)
        return resampledFromMip(self, s);
    std::lock_guard lock(m_previewMutex);
    if (m_previewScale != s || m_preview.isNull()) {
        m_preview = renderToQImage(resampledFromMip(self, s), Rect(0, 0, pw, ph), 1.0);
        m_previewScale = m_preview.isNull() ? 0 : s;
        if (m_preview.isNull()) return resampledFromMip(self, s);
    }
    // Cropped to the exact scaled extent: the last column and row may be partly covered.
    return Image(std::make_shared<SourceNode>(m_preview)).cropped(Rect(0, 0, m_image.width() * s, m_image.height() * s));
}

Image SourceNode::resampledFromMip(const Image &self, double s) const
{
    // The level nearest in scale (the residual resampling is then between 0.71 and 1.41), so
    // that the preview reads about as many pixels as it shows.
    int level = 0;
    double levelScale = 1.0;
    while (levelScale * 0.5 >= s * M_SQRT1_2 && level < 30) {
        levelScale *= 0.5;
        ++level;
    }
    if (level == 0) return Node::scaled(self, s);
    QImage bitmap = mipLevel(level);
    Image small(std::make_shared<SourceNode>(bitmap));
    // The level is an exact 2^-level scaling only for even sizes; use its true ratio so that the
    // preview covers exactly the scaled extent.
    const double sx = s * m_image.width() / bitmap.width();
    const double sy = s * m_image.height() / bitmap.height();
    if (std::abs(sx - 1.0) < 1e-9 && std::abs(sy - 1.0) < 1e-9) return small;
    return small.transformed(AffineTransform::scale(sx, sy));
}

} // namespace imaging
