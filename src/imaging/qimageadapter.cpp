#include "imaging/qimageadapter.h"

#include <cmath>
#include <cstdlib>
#include <new>
#include <optional>
#include <vector>

#include <QDebug>
#include <tbb/parallel_for.h>

#include "imaging/bufferpool.h"
#include "imaging/kernelnodes.h"
#include "imaging/pixelconvert.h"
#include "imaging/renderer.h"
#include "imaging/sampler.h"
#include "imaging/sourcenode.h"

namespace imaging {

namespace {
// Beyond this a render is refused with a log line instead of attempting a huge allocation.
constexpr double maxPixels = 1 << 30;
// Colour kernels straight over an 8-bit bitmap (the point filters: invert, colour matrix,
// exposure and the like) run from the bitmap's bytes to the output's: each row is converted to
// float a short segment at a time, in a buffer that stays in the core's first-level cache, every
// kernel of the chain runs on the segment in turn and it is written back as 8 bits. No tile
// buffers and no full-size intermediate; the floats are those the tiled render would compute.
// Nothing when `image` is not such a chain or `rect` reaches beyond the bitmap's pixels;
// otherwise whether the render ran to the end (false: cancelled).
std::optional<bool> renderPointChain(const Image &image, const PixelRect &rect, QImage &out, const std::atomic<bool> *cancel)
{
    std::vector<const ColorKernelNode *> chain;
    const Image *input = &image;
    while (const auto *kernel = dynamic_cast<const ColorKernelNode *>(input->node().get())) {
        chain.push_back(kernel);
        input = &kernel->input();
    }
    PixelRect shown;
    const QImage *bitmap = chain.empty() ? nullptr : Sampler::bitmapOf(*input, shown);
    if (!bitmap || shown.intersected(rect) != rect) return std::nullopt;
    const uchar *bits = bitmap->constBits();
    const qsizetype bpl = bitmap->bytesPerLine(), outBpl = out.bytesPerLine();
    const int h = bitmap->height();
    uchar *outBits = out.bits();
    std::atomic<bool> stopped{false};
    tbb::parallel_for(tbb::blocked_range<int>(rect.y0, rect.y1, 8), [&](const tbb::blocked_range<int> &rows) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            stopped = true;
            return;
        }
        constexpr int segment = 256;
        alignas(64) float buffer[segment * 4];
        for (int y = rows.begin(); y != rows.end(); ++y) {
            // Image-space row y counts from the bottom; byte rows from the top.
            const uchar *src = bits + (h - 1 - y) * bpl;
            uchar *dst = outBits + (rect.y1 - 1 - y) * outBpl;
            for (int x = rect.x0; x < rect.x1; x += segment) {
                const int n = std::min(segment, rect.x1 - x);
                pixelconvert::argb32ToFloat(src + x * 4, buffer, n);
                for (auto k = chain.rbegin(); k != chain.rend(); ++k) (*k)->apply(buffer, n, x, y);
                pixelconvert::floatToArgb32(buffer, dst + (x - rect.x0) * 4, n);
            }
        }
    });
    return !stopped && !(cancel && cancel->load());
}

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
    // Its memory goes back to the pool when the last copy of the picture is gone, for the next
    // frame of the same size.
    struct Block
    {
        void *data;
        std::size_t bytes;
    };
    const std::size_t bytes = static_cast<std::size_t>(w) * h * 4;
    uchar *data = static_cast<uchar *>(BufferPool::allocateLarge(bytes));
    auto *block = data ? new (std::nothrow) Block{data, bytes} : nullptr;
    QImage out;
    if (block)
        out = QImage(data, w, h, w * 4, QImage::Format_ARGB32_Premultiplied, [](void *info) {
            const auto *b = static_cast<Block *>(info);
            BufferPool::releaseLarge(b->data, b->bytes);
            delete b;
        }, block);
    if (out.isNull()) {
        delete block;
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
    if (const std::optional<bool> done = renderPointChain(source, rect, out, cancel))
        return *done ? out : QImage();
    // scanLine() checks for sharing on every call; the rows are found from the base pointer.
    uchar *const outBits = out.bits();
    const qsizetype outBpl = out.bytesPerLine();
    const bool rendered = Renderer::renderTiles(source, rect, [&](PixelBuffer &tile) {
        const PixelRect &t = tile.rect();
        for (int y = t.y0; y < t.y1; ++y) {
            uchar *line = outBits + (rect.y1 - 1 - y) * outBpl;
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
