// Blur and sharpen filters.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/blurs.h"
#include "imaging/catalogue.h"
#include "imaging/declare.h"

namespace imaging::catalogue {

using namespace declare;

namespace {

// A blur along a straight line: the average of samples spread over [-radius, radius] in the
// direction (dx, dy).
Image motionBlur(const Image &in, double radius, double angle)
{
    if (radius < 0.5) return in;
    const double dx = std::cos(angle), dy = std::sin(angle);
    // About one sample per pixel of travel; bilinear sampling fills in between.
    const int samples = std::max(3, static_cast<int>(std::ceil(radius)) + 1);
    kernels::General g;
    g.inputs = {in};
    const Rect e = in.extent();
    g.extent = e.isInfinite() ? e : e.adjusted(radius + 1);
    const int margin = static_cast<int>(std::ceil(radius)) + 2;
    g.roi = [margin](int, const Rect &r) { return r.adjusted(margin); };
    g.tileSize = std::max(256, 4 * margin);
    // Every pixel samples the same offsets, so each sample is a fixed whole-pixel shift with fixed
    // bilinear weights: worked out once, the inner loop is plain multiply-adds.
    struct Tap
    {
        int ix, iy;
        float w00, w10, w01, w11;
    };
    std::vector<Tap> taps;
    for (int k = 0; k < samples; ++k) {
        const double t = -radius + 2.0 * radius * k / (samples - 1);
        const double ox = t * dx, oy = t * dy;
        const double fx = std::floor(ox), fy = std::floor(oy);
        const float tx = static_cast<float>(ox - fx), ty = static_cast<float>(oy - fy);
        taps.push_back({static_cast<int>(fx), static_cast<int>(fy), (1 - tx) * (1 - ty), tx * (1 - ty), (1 - tx) * ty, tx * ty});
    }
    g.compute = [=](const std::vector<PixelBuffer> &inputs, PixelBuffer &out) {
        const PixelBuffer &src = inputs[0];
        const PixelRect r = out.rect();
        const float norm = 1.0f / samples;
        // The input covers the output plus the margin, which holds every tap's 2 x 2 footprint.
        std::vector<float> acc(static_cast<std::size_t>(r.width()) * 4);
        for (int y = r.y0; y < r.y1; ++y) {
            std::fill(acc.begin(), acc.end(), 0.f);
            for (const Tap &tap : taps) {
                const float *a = src.pixel(r.x0 + tap.ix, y + tap.iy), *b = src.pixel(r.x0 + tap.ix, y + tap.iy + 1);
                for (int i = 0; i < r.width() * 4; ++i)
                    acc[i] += tap.w00 * a[i] + tap.w10 * a[i + 4] + tap.w01 * b[i] + tap.w11 * b[i + 4];
            }
            float *d = out.row(y);
            for (int i = 0; i < r.width() * 4; ++i) d[i] = acc[i] * norm;
        }
    };
    return kernels::general(std::move(g));
}

// A disc of the given radius, summed row by row with prefix sums: O(radius) per pixel.
Image discBlur(const Image &in, double radius)
{
    const int R = static_cast<int>(std::round(radius));
    if (R < 1) return in;
    kernels::General g;
    g.inputs = {in};
    const Rect e = in.extent();
    g.extent = e.isInfinite() ? e : e.adjusted(R);
    g.roi = [R](int, const Rect &r) { return r.adjusted(R + 1); };
    g.tileSize = std::max(256, 4 * R);
    g.compute = [R](const std::vector<PixelBuffer> &inputs, PixelBuffer &out) {
        const PixelBuffer &src = inputs[0];
        const PixelRect r = out.rect(), sr = src.rect();
        // Prefix sums per row: prefix[i] = sum of pixels sr.x0 .. sr.x0 + i - 1.
        const int w = sr.width();
        std::vector<double> prefix(static_cast<std::size_t>(w + 1) * 4 * sr.height());
        for (int y = sr.y0; y < sr.y1; ++y) {
            double *p = &prefix[static_cast<std::size_t>(y - sr.y0) * (w + 1) * 4];
            p[0] = p[1] = p[2] = p[3] = 0;
            const float *row = src.row(y);
            for (int i = 0; i < w; ++i)
                for (int c = 0; c < 4; ++c) p[(i + 1) * 4 + c] = p[i * 4 + c] + row[i * 4 + c];
        }
        std::vector<int> halfWidth(2 * R + 1);
        long long count = 0;
        for (int dy = -R; dy <= R; ++dy) {
            halfWidth[dy + R] = static_cast<int>(std::floor(std::sqrt(double(R) * R - double(dy) * dy)));
            count += 2 * halfWidth[dy + R] + 1;
        }
        const double norm = 1.0 / static_cast<double>(count);
        for (int y = r.y0; y < r.y1; ++y)
            for (int x = r.x0; x < r.x1; ++x) {
                double acc[4] = {0, 0, 0, 0};
                for (int dy = -R; dy <= R; ++dy) {
                    const int hw = halfWidth[dy + R];
                    const double *p = &prefix[static_cast<std::size_t>(y + dy - sr.y0) * (w + 1) * 4];
                    const int a = x - hw - sr.x0, b = x + hw + 1 - sr.x0;
                    for (int c = 0; c < 4; ++c) acc[c] += p[b * 4 + c] - p[a * 4 + c];
                }
                float *d = out.pixel(x, y);
                for (int c = 0; c < 4; ++c) d[c] = static_cast<float>(acc[c] * norm);
            }
    };
    return kernels::general(std::move(g));
}

// Samples along the line from each point towards the centre, over min(amount, d / 5) pixels
// for a point at distance d: the streaks grow outward, and the length is a true distance (it
// scales with the picture, as the preview needs).
Image zoomBlur(const Image &in, const Vector &centre, double amount)
{
    if (std::abs(amount) < 0.5) return in;
    const double cx = centre.X(), cy = centre.Y(), reach = std::abs(amount);
    const int samples = std::clamp(static_cast<int>(std::ceil(reach)) + 1, 3, 64);
    kernels::General g;
    g.inputs = {in};
    g.extent = in.extent();
    g.roi = [reach](int, const Rect &r) { return r.adjusted(reach + 2); };
    g.tileSize = std::max(256, static_cast<int>(4 * reach));
    g.compute = [=](const std::vector<PixelBuffer> &inputs, PixelBuffer &out) {
        const PixelBuffer &src = inputs[0];
        const PixelRect r = out.rect();
        if (src.isEmpty()) {
            out.clear();
            return;
        }
        // Samples are clamped to the input buffer (edges extend outward); the bounds are the
        // buffer's outermost pixel centres, worked out once per tile rather than per sample.
        const PixelRect b = src.rect();
        const double xLo = b.x0 + 0.5, xHi = b.x1 - 0.5, yLo = b.y0 + 0.5, yHi = b.y1 - 0.5;
        for (int y = r.y0; y < r.y1; ++y)
            for (int x = r.x0; x < r.x1; ++x) {
                const double px = x + 0.5, py = y + 0.5;
                const double dx = cx - px, dy = cy - py, d = std::sqrt(dx * dx + dy * dy);
                const double length = std::min(reach, d / 5);
                const double ux = d > 0 ? dx / d : 0, uy = d > 0 ? dy / d : 0;
                const double stepX = ux * length / samples, stepY = uy * length / samples;
                float acc[4] = {0, 0, 0, 0}, s[4];
                for (int k = 0; k < samples; ++k) {
                    src.sampleBilinear(std::clamp(px + stepX * k, xLo, xHi), std::clamp(py + stepY * k, yLo, yHi), s);
                    for (int c = 0; c < 4; ++c) acc[c] += s[c];
                }
                float *o = out.pixel(x, y);
                for (int c = 0; c < 4; ++c) o[c] = acc[c] / samples;
            }
    };
    return kernels::general(std::move(g));
}

Image median3x3(const Image &in)
{
    kernels::General g;
    g.inputs = {in};
    g.extent = in.extent();
    g.roi = [](int, const Rect &r) { return r.adjusted(1); };
    g.compute = [](const std::vector<PixelBuffer> &inputs, PixelBuffer &out) {
        // The median of nine by a fixed exchange network (19 compare-exchanges), on all four
        // channels at once.
        typedef float v4f __attribute__((vector_size(16)));
        auto load = [](const float *p) { v4f v; std::memcpy(&v, p, sizeof v); return v; };
        auto sort2 = [](v4f &a, v4f &b) {
            const v4f lo = a < b ? a : b, hi = a < b ? b : a;
            a = lo;
            b = hi;
        };
        const PixelBuffer &src = inputs[0];
        const PixelRect r = out.rect();
        for (int y = r.y0; y < r.y1; ++y)
            for (int x = r.x0; x < r.x1; ++x) {
                v4f p[9];
                int n = 0;
                for (int j = -1; j <= 1; ++j)
                    for (int i = -1; i <= 1; ++i) p[n++] = load(src.pixel(x + i, y + j));
                sort2(p[1], p[2]); sort2(p[4], p[5]); sort2(p[7], p[8]); sort2(p[0], p[1]); sort2(p[3], p[4]);
                sort2(p[6], p[7]); sort2(p[1], p[2]); sort2(p[4], p[5]); sort2(p[7], p[8]); sort2(p[0], p[3]);
                sort2(p[5], p[8]); sort2(p[4], p[7]); sort2(p[3], p[6]); sort2(p[1], p[4]); sort2(p[2], p[5]);
                sort2(p[4], p[7]); sort2(p[4], p[2]); sort2(p[6], p[4]); sort2(p[4], p[2]);
                std::memcpy(out.pixel(x, y), &p[4], sizeof(v4f));
            }
    };
    return kernels::general(std::move(g));
}

// original + amount * (original - blurred), on colour only.
Image sharpen(const Image &in, const Image &blurred, float amount, bool lumaOnly)
{
    return kernels::blend(in, blurred, [amount, lumaOnly](const float *s, const float *b, float *o, int n) {
        for (int i = 0; i < n * 4; i += 4) {
            const float a = s[i + 3];
            if (lumaOnly) {
                const float d = luminance(s[i] - b[i], s[i + 1] - b[i + 1], s[i + 2] - b[i + 2]) * amount;
                for (int c = 0; c < 3; ++c) o[i + c] = std::clamp(s[i + c] + d, 0.f, a);
            } else {
                for (int c = 0; c < 3; ++c) o[i + c] = std::clamp(s[i + c] + (s[i + c] - b[i + c]) * amount, 0.f, a);
            }
            o[i + 3] = a;
        }
    }).cropped(in.extent());
}

} // namespace

void registerFocus(std::vector<FilterDescription> &out)
{
    const QStringList blur{kCICategoryBlur, kCICategoryVideo};
    const QStringList sharpenCats{kCICategorySharpen, kCICategoryVideo};

    out.push_back(filter("CIGaussianBlur", "Gaussian Blur", blur,
                         {image(), distance("inputRadius", 10.0, {0, 500, 0, 100}, 0.0)},
                         [](const FilterValues &v) { return blurs::gaussian(v.image("inputImage"), v.number("inputRadius")); }));

    // The radius is a whole number of pixels: a preview whose scaled radius would round by more than
    // a few percent renders finer and averages down.
    out.push_back(patterned(filter("CIBoxBlur", "Box Blur", blur,
                         {image(), distance("inputRadius", 10.0, {1, 200, 1, 100}, 1.0)},
                         [](const FilterValues &v) {
                             return blurs::box(v.image("inputImage"), static_cast<int>(std::round(v.number("inputRadius"))));
                         }), "inputRadius", 2.4));

    out.push_back(filter("CIDiscBlur", "Disc Blur", blur,
                         {image(), distance("inputRadius", 8.0, {0, 200, 0, 100}, 0.0)},
                         [](const FilterValues &v) { return discBlur(v.image("inputImage"), v.number("inputRadius")); }));

    out.push_back(filter("CIMotionBlur", "Motion Blur", blur,
                         {image(), distance("inputRadius", 20.0, {0, 300, 0, 100}, 0.0), angle("inputAngle", 0.0)},
                         [](const FilterValues &v) {
                             return motionBlur(v.image("inputImage"), v.number("inputRadius"), v.number("inputAngle"));
                         }));

    out.push_back(filter("CIZoomBlur", "Zoom Blur", blur,
                         {image(), position("inputCenter", {150, 150}), distance("inputAmount", 20.0, {0, 200, 0, 200}, 0.0)},
                         [](const FilterValues &v) {
                             return zoomBlur(v.image("inputImage"), v.vector("inputCenter"), v.number("inputAmount"));
                         }));

    out.push_back(pixelSized(filter("CIMedianFilter", "Median", blur, {image()},
                         [](const FilterValues &v) { return median3x3(v.image("inputImage")); }), 1));

    out.push_back(pixelSized(filter("CINoiseReduction", "Noise Reduction", blur,
                         {image(), scalar("inputNoiseLevel", 0.02, {0, 1, 0, 0.1}, 0.0),
                          scalar("inputSharpness", 0.4, {0, 10, 0, 2}, 0.0)},
                         [](const FilterValues &v) {
                             // Smooth where neighbours differ by less than the noise level, then
                             // sharpen what is left.
                             const Image in = v.image("inputImage");
                             const Image smooth = blurs::gaussian(in, 1.0);
                             const float level = v.f("inputNoiseLevel");
                             const Image mixed = kernels::blend(in, smooth, [level](const float *s, const float *b, float *o, int n) {
                                 for (int i = 0; i < n * 4; i += 4) {
                                     const float d = std::abs(luminance(s[i] - b[i], s[i + 1] - b[i + 1], s[i + 2] - b[i + 2]));
                                     const float t = level > 0 ? std::clamp(1.f - d / (level * 2.f), 0.f, 1.f) : 0.f;
                                     for (int c = 0; c < 4; ++c) o[i + c] = s[i + c] + (b[i + c] - s[i + c]) * t;
                                 }
                             }).cropped(in.extent());
                             return sharpen(mixed, blurs::gaussian(mixed, 1.0), v.f("inputSharpness"), true);
                         }), 1));

    out.push_back(filter("CISharpenLuminance", "Sharpen Luminance", sharpenCats,
                         {image(), scalar("inputSharpness", 0.4, {0, 10, 0, 2}, 0.0),
                          distance("inputRadius", 1.69, {0, 20, 0, 20}, 0.0)},
                         [](const FilterValues &v) {
                             const Image in = v.image("inputImage");
                             return sharpen(in, blurs::gaussian(in, v.number("inputRadius")), v.f("inputSharpness"), true);
                         }));

    out.push_back(filter("CIUnsharpMask", "Unsharp Mask", sharpenCats,
                         {image(), distance("inputRadius", 2.5, {0, 100, 0, 100}, 0.0),
                          scalar("inputIntensity", 0.5, {0, 10, 0, 1}, 0.0)},
                         [](const FilterValues &v) {
                             const Image in = v.image("inputImage");
                             return sharpen(in, blurs::gaussian(in, v.number("inputRadius")), v.f("inputIntensity"), false);
                         }));
}

} // namespace imaging::catalogue
