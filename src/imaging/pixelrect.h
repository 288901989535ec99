#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

#include "imaging/rect.h"

namespace imaging {

// A rectangle of whole pixels, half-open: [x0, x1) x [y0, y1). Pixel (i, j) covers the unit square
// whose bottom-left corner is (i, j), so its centre is (i + 0.5, j + 0.5) in image space.
struct PixelRect
{
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    static PixelRect fromXYWH(int x, int y, int w, int h) { return {x, y, x + w, y + h}; }

    int width() const { return x1 > x0 ? x1 - x0 : 0; }
    int height() const { return y1 > y0 ? y1 - y0 : 0; }
    bool isEmpty() const { return x1 <= x0 || y1 <= y0; }
    long long area() const { return static_cast<long long>(width()) * height(); }

    PixelRect intersected(const PixelRect &o) const
    {
        PixelRect r{std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
        return r.isEmpty() ? PixelRect{} : r;
    }
    PixelRect adjusted(int d) const { return {x0 - d, y0 - d, x1 + d, y1 + d}; }
    Rect toRect() const { return Rect::fromEdges(x0, y0, x1, y1); }

    // The pixels touched by a rectangle (outward rounding). Infinite or huge edges are clamped to a
    // range that integer arithmetic can hold; callers intersect with something finite anyway.
    static PixelRect covering(const Rect &r)
    {
        if (r.isEmpty()) return {};
        auto clampEdge = [](double v) {
            constexpr double lim = 1 << 29;
            if (std::isnan(v)) return 0;
            return static_cast<int>(std::clamp(v, -lim, lim));
        };
        return {clampEdge(std::floor(r.x())), clampEdge(std::floor(r.y())),
                clampEdge(std::ceil(r.maxX())), clampEdge(std::ceil(r.maxY()))};
    }

    friend bool operator==(const PixelRect &, const PixelRect &) = default;
};

} // namespace imaging
