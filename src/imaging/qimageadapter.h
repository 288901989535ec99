#pragma once

#include <QImage>

#include <atomic>

#include "imaging/image.h"
#include "imaging/rect.h"

namespace imaging {

// The one place where images cross between QImage and the engine. QImage row 0 is the top of the
// picture; in image space y grows upward from the bottom-left corner at (0, 0).

// A source image of the bitmap (no copy when it already is 8-bit ARGB32/RGB32; deeper bitmaps
// keep 16 bits per channel). A null QImage gives the null image.
Image imageFromQImage(const QImage &image);
// The whole finite extent, Format_ARGB32_Premultiplied; a null QImage for a null, empty or
// infinite image, or one too large to allocate.
QImage qimageFromImage(const Image &image);
// `region` (image coordinates) rendered at `scale` into a QImage of
// ceil(region.width * scale) x ceil(region.height * scale); top row = top of the region. For
// scale != 1 the picture is built for the preview (Image::scaledForPreview). A null QImage when the
// render failed or `cancel` was raised while it ran.
QImage renderToQImage(const Image &image, const Rect &region, double scale = 1.0,
                      const std::atomic<bool> *cancel = nullptr);

} // namespace imaging
