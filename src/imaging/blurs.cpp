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

Image box(const Image &input, int radius)
{
    if (input.isNull()) return Image();
    if (radius < 1) return input;
    kernels::General g;
    g.inputs = {input};
    const Rect e = input.extent();
    g.extent = e.isInfinite() ? e : e.adjusted(radius);
    g.roi = [radius](int, const Rect &r) { return r.adjusted(radius); };
    g.tileSize = std::max(256, 4 * radius);
    g.compute = [radius](const std::vector<PixelBuffer> &in, PixelBuffer &out) {
        const PixelBuffer &src = in[0];
        const PixelRect r = out.rect();
        const int n = 2 * radius + 1;
        const float norm = 1.0f / (float(n) * float(n));
        // Horizontal running sums over the rows the vertical pass needs.
        PixelBuffer h(PixelRect{r.x0, r.y0 - radius, r.x1, r.y1 + radius});
        for (int y = h.rect().y0; y < h.rect().y1; ++y) {
            double acc[4] = {0, 0, 0, 0};
            for (int x = r.x0 - radius; x <= r.x0 + radius; ++x)
                for (int c = 0; c < 4; ++c) acc[c] += src.pixel(x, y)[c];
            for (int x = r.x0; x < r.x1; ++x) {
                float *d = h.pixel(x, y);
                for (int c = 0; c < 4; ++c) d[c] = static_cast<float>(acc[c]);
                if (x + 1 < r.x1) {
                    const float *add = src.pixel(x + radius + 1, y), *sub = src.pixel(x - radius, y);
                    for (int c = 0; c < 4; ++c) acc[c] += add[c] - sub[c];
                }
            }
        }
        std::vector<double> acc(out.stride(), 0.0);
        for (int y = r.y0 - radius; y <= r.y0 + radius; ++y)
            for (std::size_t i = 0; i < acc.size(); ++i) acc[i] += h.row(y)[i];
        for (int y = r.y0; y < r.y1; ++y) {
            float *d = out.row(y);
            for (std::size_t i = 0; i < acc.size(); ++i) d[i] = static_cast<float>(acc[i]) * norm;
            if (y + 1 < r.y1) {
                const float *add = h.row(y + radius + 1), *sub = h.row(y - radius);
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
