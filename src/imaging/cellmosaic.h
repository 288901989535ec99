#pragma once

#include <cmath>
#include <utility>

#include "imaging/image.h"

// Cell mosaics: the plane is cut into cells, each filled with the input's colour at its seed (the
// cell's centre or a jittered point in it, clamped to the input's extent). A pixel that straddles
// cells mixes their colours by the share of the pixel each covers, so cells only a pixel or two
// across (a reduced preview, a tiny size) show the mean the full-size mosaic has when seen from
// afar instead of aliasing. The result covers the input's extent.
namespace imaging::cells {

// Square cells of side `size` on a grid with a corner at (cx, cy). Shares are exact (separable
// overlaps of the pixel with the cells).
Image squares(const Image &input, double cx, double cy, double size);

// Regular hexagons of circumradius `size`, one of them centred at (cx, cy), in rows along x.
// Shares are those of the edge between the two nearest cells.
Image hexagons(const Image &input, double cx, double cy, double size);

// The cells of a jittered grid of pitch `size` anchored at (cx, cy): one seed in each grid cell,
// each pixel belongs to its nearest seed. Shares as for hexagons.
Image crystals(const Image &input, double cx, double cy, double size);

// Round dots of `radius` centred on the seeds of `crystals`, each of its seed's colour and
// clipped to its cell; transparent between them.
Image dots(const Image &input, double cx, double cy, double size, double radius);

// The share of a unit pixel on the near side of a straight edge whose signed distance from the
// pixel's centre is t (positive: the centre is on the near side), (nx, ny) the edge's unit
// normal: the box filter of a step, exact for one edge.
inline double edgeCoverage(double t, double nx, double ny)
{
    // The pixel's area along the normal is the convolution of two boxes, of widths a and b (the
    // normal's components): a trapezoid, linear in its middle and quadratic at its ends.
    double a = std::abs(nx), b = std::abs(ny);
    if (a < b) std::swap(a, b);
    const double half = (a + b) / 2, inner = (a - b) / 2;
    if (t >= half) return 1;
    if (t <= -half) return 0;
    if (t < -inner) return (t + half) * (t + half) / (2 * a * b);
    if (t > inner) return 1 - (half - t) * (half - t) / (2 * a * b);
    return 0.5 + t / a;
}

} // namespace imaging::cells
