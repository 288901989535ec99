#include "imaging/blurs.h"

#include <algorithm>
#include <cmath>

#include "imaging/gaussianblurnode.h"
#include "imaging/kernels.h"

namespace imaging::blurs {

Image gaussian(const Image &input, double sigma)
{
    if (input.isNull()) return Image();
    if (!(sigma > 0.05)) return input;
    return Image(std::make_shared<GaussianBlurNode>(input, sigma));
}

Image box(const Image &input, double radius)
{
    if (input.isNull()) return Image();
    if (!(radius > 0)) return input;
    // A box 2 radius + 1 pixels wide: the whole pixels within floor(radius) of the centre, plus the
    // next pixel on each side weighted by the fractional part. A whole radius is the plain box; a
    // fractional one (a reduced preview, a slider between whole values) widens it smoothly.
    const int whole = static_cast<int>(std::floor(radius));
    const float part = static_cast<float>(radius - whole);
    const int reach = part > 0 ? whole + 1 : whole;
    kernels::General g;
    g.inputs = {input};
    const Rect e = input.extent();
    g.extent = e.isInfinite() ? e : e.adjusted(reach);
    g.roi = [reach](int, const Rect &r) { return r.adjusted(reach); };
    g.tileSize = std::max(256, 4 * reach);
    g.compute = [whole, part, reach, radius](const std::vector<PixelBuffer> &in, PixelBuffer &out) {
        const PixelBuffer &src = in[0];
        const PixelRect r = out.rect();
        const float n = static_cast<float>(2 * radius + 1);
        const float norm = 1.0f / (n * n);
        const int R = whole;
        // Horizontal running sums of the whole pixels, over the rows the vertical pass needs, plus
        // the two partial pixels at the ends.
        PixelBuffer h(PixelRect{r.x0, r.y0 - reach, r.x1, r.y1 + reach});
        for (int y = h.rect().y0; y < h.rect().y1; ++y) {
            double acc[4] = {0, 0, 0, 0};
            const float *row = src.pixel(r.x0, y);
            for (int i = -R; i <= R; ++i)
                for (int c = 0; c < 4; ++c) acc[c] += row[4 * i + c];
            float *d = h.row(y);
            for (int x = 0; x < r.width(); ++x, row += 4, d += 4) {
                if (part > 0) {
                    const float *lo = row - 4 * (R + 1), *hi = row + 4 * (R + 1);
                    for (int c = 0; c < 4; ++c) d[c] = static_cast<float>(acc[c]) + part * (lo[c] + hi[c]);
                } else {
                    for (int c = 0; c < 4; ++c) d[c] = static_cast<float>(acc[c]);
                }
                if (x + 1 < r.width()) {
                    const float *add = row + 4 * (R + 1), *sub = row - 4 * R;
                    for (int c = 0; c < 4; ++c) acc[c] += add[c] - sub[c];
                }
            }
        }
        std::vector<double> acc(out.stride(), 0.0);
        for (int y = r.y0 - R; y <= r.y0 + R; ++y) {
            const float *row = h.row(y);
            for (std::size_t i = 0; i < acc.size(); ++i) acc[i] += row[i];
        }
        for (int y = r.y0; y < r.y1; ++y) {
            float *d = out.row(y);
            if (part > 0) {
                const float *lo = h.row(y - R - 1), *hi = h.row(y + R + 1);
                for (std::size_t i = 0; i < acc.size(); ++i) d[i] = (static_cast<float>(acc[i]) + part * (lo[i] + hi[i])) * norm;
            } else {
                for (std::size_t i = 0; i < acc.size(); ++i) d[i] = static_cast<float>(acc[i]) * norm;
            }
            if (y + 1 < r.y1) {
                const float *add = h.row(y + R + 1), *sub = h.row(y - R);
                for (std::size_t i = 0; i < acc.size(); ++i) acc[i] += add[i] - sub[i];
            }
        }
    };
    return kernels::general(std::move(g));
}

Image convolve3x3(const Image &input, const std::array<float, 9> &weights, float bias, bool keepAlpha)
{
    if (input.isNull()) return Image();
    kernels::General g;
    g.inputs = {input};
    g.extent = input.extent();
    g.roi = [](int, const Rect &r) { return r.adjusted(1); };
    g.compute = [weights, bias, keepAlpha](const std::vector<PixelBuffer> &in, PixelBuffer &out) {
        const PixelBuffer &src = in[0];
        const PixelRect r = out.rect();
        for (int y = r.y0; y < r.y1; ++y)
            for (int x = r.x0; x < r.x1; ++x) {
                float acc[4] = {0, 0, 0, 0};
                for (int j = -1; j <= 1; ++j)
                    for (int i = -1; i <= 1; ++i) {
                        // Weights start at the top-left; image rows grow upward.
                        const float w = weights[(1 - j) * 3 + (i + 1)];
                        const float *p = src.pixel(x + i, y + j);
                        for (int c = 0; c < 4; ++c) acc[c] += w * p[c];
                    }
                float *d = out.pixel(x, y);
                const float *centre = src.pixel(x, y);
                const float a = keepAlpha ? centre[3] : std::clamp(acc[3], 0.f, 1.f);
                for (int c = 0; c < 3; ++c) d[c] = acc[c] + bias * a;
                d[3] = a;
            }
    };
    return kernels::general(std::move(g));
}

} // namespace imaging::blurs
