#include "imaging/qimageadapter.h"

#include <cmath>
#include <cstdlib>

#include <QDebug>

#include "imaging/bufferpool.h"
#include "imaging/pixelconvert.h"
#include "imaging/renderer.h"
#include "imaging/sourcenode.h"

namespace imaging {

namespace {
// Beyond this a render is refused with a log line instead of attempting a huge allocation.
constexpr double maxPixels = 1 << 30;
} // namespace

Image imageFromQImage(const QImage &image)
{
    if (image.isNull()) return Image();
    QImage stored;
    switch (image.format()) {
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGB32:
    case QImage::Format_RGBA64_Premultiplied:
        stored = image;
        break;
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
    case QImage::Format_Grayscale16:
    case QImage::Format_BGR30:
    case QImage::Format_A2BGR30_Premultiplied:
    case QImage::Format_RGB30:
    case QImage::Format_A2RGB30_Premultiplied:
    case QImage::Format_RGBX16FPx4:
    case QImage::Format_RGBA16FPx4:
    case QImage::Format_RGBA16FPx4_Premultiplied:
    case QImage::Format_RGBX32FPx4:
    case QImage::Format_RGBA32FPx4:
    case QImage::Format_RGBA32FPx4_Premultiplied:
        stored = image.convertToFormat(QImage::Format_RGBA64_Premultiplied);
        break;
    default:
        stored = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        break;
    }
    if (stored.isNull()) {
        qWarning("imaging: could not convert a %dx%d image", image.width(), image.height());
        return Image();
    }
    return Image(std::make_shared<SourceNode>(stored));
}

QImage renderToQImage(const Image &image, const Rect &region, double scale, const std::atomic<bool> *cancel)
{
    if (image.isNull() || region.isEmpty() || region.isInfinite() || !(scale > 0) || !std::isfinite(scale))
        return QImage();
    const double wd = std::ceil(region.width() * scale - 1e-9), hd = std::ceil(region.height() * scale - 1e-9);
    if (!(wd >= 1 && hd >= 1) || wd * hd > maxPixels || wd > (1 << 20) || hd > (1 << 20)) {
        qWarning("imaging: refusing to render %gx%g pixels", wd, hd);
        return QImage();
    }
    const int w = static_cast<int>(wd), h = static_cast<int>(hd);
    // The bitmap gets huge pages when it is large: every page of it is written once, and page
    // faults would otherwise cost more than the conversion itself.
    const std::size_t bytes = static_cast<std::size_t>(w) * h * 4;
    uchar *data = static_cast<uchar *>(BufferPool::allocateLarge(bytes));
    QImage out;
    if (data)
        out = QImage(data, w, h, w * 4, QImage::Format_ARGB32_Premultiplied, [](void *p) { std::free(p); }, data);
    if (out.isNull()) {
        std::free(data);
        qWarning("imaging: out of memory for a %dx%d render", w, h);
        return QImage();
    }
    // The picture to render and where the region's bottom-left corner lands in it.
    Image source = scale == 1.0 ? image : image.scaledForPreview(scale);
    double ox = region.x() * scale, oy = region.y() * scale;
    // A fractional origin is moved onto the pixel grid by a translation.
    if (ox != std::floor(ox) || oy != std::floor(oy)) {
        source = source.transformed(AffineTransform::translation(std::floor(ox) - ox, std::floor(oy) - oy));
        ox = std::floor(ox);
        oy = std::floor(oy);
    }
    const PixelRect rect = PixelRect::fromXYWH(static_cast<int>(ox), static_cast<int>(oy), w, h);
    const bool rendered = Renderer::renderTiles(source, rect, [&](PixelBuffer &tile) {
        const PixelRect &t = tile.rect();
        for (int y = t.y0; y < t.y1; ++y) {
            uchar *line = out.scanLine(rect.y1 - 1 - y);
            pixelconvert::floatToArgb32(tile.row(y), line + (t.x0 - rect.x0) * 4, t.width());
        }
    }, cancel);
    // A failed render gives no picture rather than a partly drawn one.
    return rendered ? out : QImage();
}

QImage qimageFromImage(const Image &image)
{
    const Rect e = image.extent();
    if (image.isNull() || e.isEmpty() || e.isInfinite()) return QImage();
    return renderToQImage(image, PixelRect::covering(e).toRect(), 1.0);
}

} // namespace imaging
