#pragma once

#include "imaging/kernels.h"

namespace imaging::kernels {

// A generator whose formula fills a whole row at a time: f(y, x0, count, rgba) writes `count`
// premultiplied pixels of row y starting at column x0 (pixel centres at x0 + i + 0.5, y + 0.5).
// Built on the general kernel, so the formula is inlined into one call per tile row instead of
// one indirect call per pixel, and can hoist what depends on the row or column alone.
template<typename RowFunction>
Image rowGenerator(const Rect &extent, RowFunction f)
{
    General k;
    k.extent = extent;
    k.compute = [f = std::move(f)](const std::vector<PixelBuffer> &, PixelBuffer &out) {
        const PixelRect r = out.rect();
        for (int y = r.y0; y < r.y1; ++y) f(y, r.x0, r.width(), out.row(y));
    };
    return general(std::move(k));
}

} // namespace imaging::kernels
