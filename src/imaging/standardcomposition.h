#pragma once

#include "imaging/filter.h"
#include "imaging/image.h"

namespace imaging {

// How the standard mode puts a filter over the current image, shared by lumetta-cli and tests
// (the application's controller does the same with its own canvas size and default images).
namespace standardcomposition {

// The image input that carries the current image: "inputBackgroundImage" when the filter has such
// an image input, else "inputImage".
QString currentImageKey(const Filter &filter);

// Default filter images made procedurally, for programs without the application's resources:
// a smooth noise texture, a lit-sphere shading map, a narrow-shine map, a colour ramp and a
// mask the size of `extent`.
Image defaultTexture();
Image defaultShadingMap();
Image defaultAlphaMap();
Image defaultRamp();
Image defaultMask(const Rect &extent);

// Defaults, every image input set to `current`, then the automatic defaults of special filters.
// `view` is the visible canvas (its centre is the circular wrap's centre).
void prepare(Filter &filter, const Image &current, const Rect &view);

// The picture the canvas shows for `view`: the current image wired in, "inputExtent" set to the
// view's size, oversized output cropped to the image, generators laid over the image. Null when
// the filter gives no output and has no image to fall back on.
Image result(Filter &filter, const Image &current, const Rect &view);

} // namespace standardcomposition

} // namespace imaging
