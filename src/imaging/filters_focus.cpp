// Blur and sharpen filters.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include <immintrin.h>

#include "imaging/blurs.h"
#include "imaging/catalogue.h"
#include "imaging/declare.h"
#include "imaging/gaussianblurnode.h"

namespace imaging::catalogue {

using namespace declare;

namespace {

// d[i] = the sum over taps t of w[t] * rows[t][i], added in tap order from zero: each output value
// is kept in a register across the taps instead of being read and written once per tap.
__attribute__((target("avx2"))) int sumTapsAvx2(float *d, int n, const float *const *rows, const float *w, int taps)
{
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256 acc = _mm256_setzero_ps();
        for (int t = 0; t < taps; ++t)
            acc = _mm256_add_ps(acc, _mm256_mul_ps(_mm256_set1_ps(w[t]), _mm256_loadu_ps(rows[t] + i)));
        _mm256_storeu_ps(d + i, acc);
    }
    return i;
}

const bool hasAvx2 = __builtin_cpu_supports("avx2");

void sumTaps(float *d, int n, const float *const *rows, const float *w, int taps)
{
    int i = 0;
    if (hasAvx2) i = sumTapsAvx2(d, n, rows, w, taps);
    for (; i + 4 <= n; i += 4) {
        __m128 acc = _mm_setzero_ps();
        for (int t = 0; t < taps; ++t)
            acc = _mm_add_ps(acc, _mm_mul_ps(_mm_set1_ps(w[t]), _mm_loadu_ps(rows[t] + i)));
        _mm_storeu_ps(d + i, acc);
    }
    for (; i < n; ++i) {
        float acc = 0;
        for (int t = 0; t < taps; ++t) acc += w[t] * rows[t][i];
        d[i] = acc;
    }
}

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
    // bilinear weights. The samples' 2 x 2 footprints overlap (a horizontal blur touches one row,
    // neighbouring samples share pixels), so their weights are gathered per whole-pixel offset
    // once: the inner loop is one multiply-add per pixel the path touches.
    struct Tap
    {
        int ix, iy;
        float w;
    };
    std::vector<Tap> taps;
    const float norm = 1.0f / samples;
    auto addWeight = [&taps](int ix, int iy, float w) {
        if (w <= 0) return;
        for (Tap &t : taps)
            if (t.ix == ix && t.iy == iy) {
                t.w += w;
                return;
            }
        taps.push_back({ix, iy, w});
    };
    for (int k = 0; k < samples; ++k) {
        const double t = -radius + 2.0 * radius * k / (samples - 1);
        const double ox = t * dx, oy = t * dy;
        const double fx = std::floor(ox), fy = std::floor(oy);
        const float tx = static_cast<float>(ox - fx), ty = static_cast<float>(oy - fy);
        const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
        addWeight(ix, iy, (1 - tx) * (1 - ty) * norm);
        addWeight(ix + 1, iy, tx * (1 - ty) * norm);
        addWeight(ix, iy + 1, (1 - tx) * ty * norm);
        addWeight(ix + 1, iy + 1, tx * ty * norm);
    }
    g.compute = [taps](const std::vector<PixelBuffer> &inputs, PixelBuffer &out) {
        const PixelBuffer &src = inputs[0];
        const PixelRect r = out.rect();
        const int n = r.width() * 4;
        // The input covers the output plus the margin, which holds every tap's footprint.
        std::vector<const float *> rows(taps.size());
        std::vector<float> weights(taps.size());
        for (std::size_t t = 0; t < taps.size(); ++t) weights[t] = taps[t].w;
        for (int y = r.y0; y < r.y1; ++y) {
            for (std::size_t t = 0; t < taps.size(); ++t) rows[t] = src.pixel(r.x0 + taps[t].ix, y + taps[t].iy);
            sumTaps(out.row(y), n, rows.data(), weights.data(), static_cast<int>(taps.size()));
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
// scales with the picture, as the preview needs). About one sample per pixel of the point's own
// streak (at most 64), so short streaks near the centre or in a reduced preview cost little.
Image zoomBlur(const Image &in, const Vector &centre, double amount)
{
    if (std::abs(amount) < 0.5) return in;
    const double reach = std::abs(amount);
    const float cx = static_cast<float>(centre.X()), cy = static_cast<float>(centre.Y());
    const float reachF = static_cast<float>(reach);
    constexpr int mostSamples = 64;
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
        // Every sample lies within `reach` of its pixel's centre, and the buffer reaches two
        // pixels further than that around the tile: each sample's 2 x 2 footprint is inside, at
        // non-negative offsets from the buffer's first pixel centre (so truncation is floor).
        const PixelRect b = src.rect();
        const std::size_t stride = src.stride();
        const float *base = src.data();
        typedef float v4f __attribute__((vector_size(16)));
        auto load = [](const float *p) { v4f v; std::memcpy(&v, p, sizeof v); return v; };
        // Each row's streak lengths and steps first, in a loop the compiler can vectorise (a
        // square root and a division per pixel), then the samples.
        const int width = r.width();
        std::vector<float> stepX(width), stepY(width), count(width);
        for (int y = r.y0; y < r.y1; ++y) {
            const float py = y + 0.5f, dy = cy - py;
            for (int i = 0; i < width; ++i) {
                const float dx = cx - (r.x0 + i + 0.5f), d = std::sqrt(dx * dx + dy * dy);
                const float length = std::min(reachF, d / 5);
                const float n = std::min(float(mostSamples), std::max(3.f, std::ceil(length) + 1));
                const float scale = d > 0 ? length / (d * n) : 0;
                stepX[i] = dx * scale;
                stepY[i] = dy * scale;
                count[i] = n;
            }
            float *o = out.pixel(r.x0, y);
            for (int i = 0; i < width; ++i, o += 4) {
                const int samples = static_cast<int>(count[i]);
                const float sx = stepX[i], sy = stepY[i];
                float rx = r.x0 + i - b.x0, ry = py - 0.5f - b.y0;
                v4f acc = {0, 0, 0, 0};
                for (int k = 0; k < samples; ++k, rx += sx, ry += sy) {
                    const int ix = static_cast<int>(rx), iy = static_cast<int>(ry);
                    const float tx = rx - ix, ty = ry - iy;
                    const float *p = base + static_cast<std::size_t>(iy) * stride + static_cast<std::size_t>(ix) * 4;
                    const float *q = p + stride;
                    const v4f p0 = load(p), q0 = load(q);
                    const v4f top = p0 + (load(p + 4) - p0) * tx;
                    const v4f bottom = q0 + (load(q + 4) - q0) * tx;
                    acc += top + (bottom - top) * ty;
                }
                acc *= 1.0f / count[i];
                std::memcpy(o, &acc, sizeof acc);
            }
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
        // Each channel separately. Every column of three is sorted once (low, middle, high) and
        // shared by the three outputs that read it; the median of the nine is then the median of
        // the largest low, the middle middle and the smallest high.
        typedef float v4f __attribute__((vector_size(16)));
        auto load = [](const float *p) { v4f v; std::memcpy(&v, p, sizeof v); return v; };
        auto mn = [](v4f a, v4f b) { return a < b ? a : b; };
        auto mx = [](v4f a, v4f b) { return a < b ? b : a; };
        auto med3 = [&](v4f a, v4f b, v4f c) { return mx(mn(a, b), mn(mx(a, b), c)); };
        const PixelBuffer &src = inputs[0];
        const PixelRect r = out.rect();
        const int columns = r.width() + 2;
        std::vector<v4f> lo(columns), mid(columns), hi(columns);
        for (int y = r.y0; y < r.y1; ++y) {
            const float *a = src.pixel(r.x0 - 1, y - 1), *b = src.pixel(r.x0 - 1, y), *c = src.pixel(r.x0 - 1, y + 1);
            for (int i = 0; i < columns; ++i) {
                const v4f p = load(a + 4 * i), q = load(b + 4 * i), t = load(c + 4 * i);
                const v4f l = mn(p, q), h = mx(p, q);
                lo[i] = mn(l, t);
                hi[i] = mx(h, t);
                mid[i] = mx(l, mn(h, t));
            }
            float *d = out.row(y);
            for (int i = 0; i < r.width(); ++i) {
                const v4f l = mx(mx(lo[i], lo[i + 1]), lo[i + 2]);
                const v4f h = mn(mn(hi[i], hi[i + 1]), hi[i + 2]);
                const v4f m = med3(mid[i], mid[i + 1], mid[i + 2]);
                const v4f v = med3(l, m, h);
                std::memcpy(d + 4 * i, &v, sizeof v);
            }
        }
    };
    return kernels::general(std::move(g));
}

// Noise reduction in one pass over each tile: smooth where a pixel differs from its Gaussian
// (sigma 1) neighbourhood by less than the noise level, then sharpen the luminance of the result
// against its own Gaussian. Done as separate nodes, the blends would each render the picture and
// its blur again; here the input is read once and both blurs run on the tile's own buffers.
Image noiseReduction(const Image &in, float level, float sharpness)
{
    constexpr int R = 3; // taps each side of a sigma-1 Gaussian, as the blur node takes them
    const std::vector<float> w = GaussianBlurNode::weights(1.0, R);
    const Rect e = in.extent();
    const PixelRect inside = e.isInfinite() ? PixelRect{} : PixelRect::covering(e);
    kernels::General g;
    g.inputs = {in};
    g.extent = e;
    g.roi = [](int, const Rect &r) { return r.adjusted(2 * R); };
    g.compute = [w, level, sharpness, inside, infinite = e.isInfinite()](const std::vector<PixelBuffer> &inputs, PixelBuffer &out) {
        typedef float v4f __attribute__((vector_size(16)));
        auto load = [](const float *p) { v4f v; std::memcpy(&v, p, sizeof v); return v; };
        auto store = [](float *p, v4f v) { std::memcpy(p, &v, sizeof v); };
        // A separable sigma-1 Gaussian of `src` over `dst`'s rectangle (src reaches R further).
        auto blur = [&](const PixelBuffer &src, PixelBuffer &dst) {
            const PixelRect d = dst.rect();
            PixelBuffer h(PixelRect{d.x0, d.y0 - R, d.x1, d.y1 + R});
            for (int y = h.rect().y0; y < h.rect().y1; ++y) {
                const float *c = src.pixel(d.x0, y);
                float *o = h.row(y);
                for (int i = 0; i < d.width(); ++i, c += 4) {
                    v4f acc = load(c) * w[0];
                    for (int k = 1; k <= R; ++k) acc += (load(c - 4 * k) + load(c + 4 * k)) * w[k];
                    store(o + 4 * i, acc);
                }
            }
            for (int y = d.y0; y < d.y1; ++y) {
                float *o = dst.row(y);
                const float *c = h.row(y);
                for (std::size_t x = 0; x < dst.stride(); x += 4) store(o + x, load(c + x) * w[0]);
                for (int k = 1; k <= R; ++k) {
                    const float *a = h.row(y - k), *b = h.row(y + k);
                    for (std::size_t x = 0; x < dst.stride(); x += 4) store(o + x, load(o + x) + (load(a + x) + load(b + x)) * w[k]);
                }
            }
        };
        const PixelBuffer &src = inputs[0];
        const PixelRect r = out.rect();
        // The smoothed picture where the second blur needs it, R beyond the tile.
        PixelBuffer mixed(r.adjusted(R));
        blur(src, mixed);
        const PixelRect m = mixed.rect();
        for (int y = m.y0; y < m.y1; ++y) {
            const float *s = src.pixel(m.x0, y);
            float *b = mixed.row(y);
            for (int i = 0; i < m.width() * 4; i += 4) {
                const float d = std::abs(luminance(s[i] - b[i], s[i + 1] - b[i + 1], s[i + 2] - b[i + 2]));
                const float t = level > 0 ? std::clamp(1.f - d / (level * 2.f), 0.f, 1.f) : 0.f;
                for (int c = 0; c < 4; ++c) b[i + c] = s[i + c] + (b[i + c] - s[i + c]) * t;
            }
        }
        // Beyond the input's extent the smoothed picture is transparent, as the sharpening's
        // blur of it sees it.
        if (!infinite) mixed.clearOutside(inside.intersected(m));
        PixelBuffer blurred(r);
        blur(mixed, blurred);
        for (int y = r.y0; y < r.y1; ++y) {
            const float *s = mixed.pixel(r.x0, y), *b = blurred.row(y);
            float *o = out.row(y);
            for (int i = 0; i < r.width() * 4; i += 4) {
                const float a = s[i + 3];
                const float d = luminance(s[i] - b[i], s[i + 1] - b[i + 1], s[i + 2] - b[i + 2]) * sharpness;
                for (int c = 0; c < 3; ++c) o[i + c] = std::clamp(s[i + c] + d, 0.f, a);
                o[i + 3] = a;
            }
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

// Adjusts a sharpening's values for a preview. A Gaussian narrower than about 0.6 pixel,
// sampled at whole pixels, spreads less than its sigma says (at 0.4 pixel, 60 % of the
// variance; at 0.25 pixel, almost nothing), so a preview sharpening against a scaled radius that
// small fades where the full render seen at that scale does not. Sharpening changes a picture by
// its amount times the blur's variance times the picture's curvature: a radius under 0.6 pixel is
// raised to 0.6, where the samples keep nearly all the variance, and the amount scaled by the
// ratio of the wanted variance to the one the samples have.
std::function<void(QVariantMap &, double)> sharpeningPreview(const QString &radiusKey, const QString &amountKey)
{
    return [radiusKey, amountKey](QVariantMap &values, double) {
        constexpr double narrowest = 0.6;
        if (!values.contains(radiusKey) || !values.contains(amountKey)) return;
        const double sigma = values.value(radiusKey).toDouble();
        if (!(sigma < narrowest)) return;
        const int R = static_cast<int>(std::ceil(3 * narrowest));
        const std::vector<float> w = GaussianBlurNode::weights(narrowest, R);
        double variance = 0;
        for (int k = 1; k <= R; ++k) variance += 2.0 * k * k * w[k];
        values[radiusKey] = narrowest;
        values[amountKey] = values.value(amountKey).toDouble() * sigma * sigma / variance;
    };
}

} // namespace

void registerFocus(std::vector<FilterDescription> &out)
{
    const QStringList blur{kCICategoryBlur, kCICategoryVideo};
    const QStringList sharpenCats{kCICategorySharpen, kCICategoryVideo};

    out.push_back(filter("CIGaussianBlur", "Gaussian Blur", blur,
                         {image(), distance("inputRadius", 10.0, {0, 500, 0, 100}, 0.0)},
                         [](const FilterValues &v) { return blurs::gaussian(v.image("inputImage"), v.number("inputRadius")); }));

    // A fractional radius weights the box's outermost pixels, so a reduced preview gets a box of
    // any width. A box of radius r is 2 r + 1 pixels wide: scaling r by s would make the preview's
    // box wider than the full one seen at scale s, so the preview radius is the one whose box has
    // the same spread (variance) as the full box scaled by s. The radius cannot go below one
    // pixel; a preview that would need less (a scaled radius under about 1.4) renders finer.
    out.push_back(patterned(filter("CIBoxBlur", "Box Blur", blur,
                         {image(), distance("inputRadius", 10.0, {1, 200, 1, 100}, 1.0)},
                         [](const FilterValues &v) { return blurs::box(v.image("inputImage"), v.number("inputRadius")); }),
                         "inputRadius", 4 * std::numbers::sqrt2));
    out.back().previewValues = [](QVariantMap &values, double s) {
        const QString key = QStringLiteral("inputRadius");
        if (!values.contains(key) || !(s > 0)) return;
        const double full = values.value(key).toDouble() / s; // the value came scaled by s
        const double width = std::sqrt(1 + (4 * full * (full + 1)) * s * s);
        values[key] = (width - 1) / 2;
    };

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
    // Seen at a third of its size or less, the median's three-pixel window is within one screen
    // pixel: what it removes (grain, single specks) is averaged away by the reduction anyway, and
    // the preview shows the picture. Closer, it is rendered finer and averaged down.
    out.back().previewBuild = [](const FilterValues &v, double s) {
        return s <= 1.0 / 3 ? v.image("inputImage") : Image();
    };

    out.push_back(filter("CINoiseReduction", "Noise Reduction", blur,
                         {image(), scalar("inputNoiseLevel", 0.02, {0, 1, 0, 0.1}, 0.0),
                          scalar("inputSharpness", 0.4, {0, 10, 0, 2}, 0.0)},
                         [](const FilterValues &v) {
                             return noiseReduction(v.image("inputImage"), v.f("inputNoiseLevel"), v.f("inputSharpness"));
                         }));
    // Both steps compare a pixel with its one-pixel Gaussian. Seen at scale s, sharpening against
    // a blur of one full pixel is sharpening the reduced picture against a blur of s pixels, which
    // for a smooth picture is the same change s^2 times as large as against a one-pixel blur (the
    // change is the blur's variance times the curvature): the preview sharpens s^2 times as much.
    // The grain the smoothing removes is averaged over 1 / s^2 full pixels in each preview pixel,
    // which leaves it s times as strong: the level that tells grain from detail scales by s.
    out.back().previewValues = [](QVariantMap &values, double s) {
        const QString level = QStringLiteral("inputNoiseLevel"), sharpness = QStringLiteral("inputSharpness");
        if (values.contains(level)) values[level] = values.value(level).toDouble() * s;
        if (values.contains(sharpness)) values[sharpness] = values.value(sharpness).toDouble() * s * s;
    };

    out.push_back(filter("CISharpenLuminance", "Sharpen Luminance", sharpenCats,
                         {image(), scalar("inputSharpness", 0.4, {0, 10, 0, 2}, 0.0),
                          distance("inputRadius", 1.69, {0, 20, 0, 20}, 0.0)},
                         [](const FilterValues &v) {
                             const Image in = v.image("inputImage");
                             return sharpen(in, blurs::gaussian(in, v.number("inputRadius")), v.f("inputSharpness"), true);
                         }));
    out.back().previewValues = sharpeningPreview(QStringLiteral("inputRadius"), QStringLiteral("inputSharpness"));

    out.push_back(filter("CIUnsharpMask", "Unsharp Mask", sharpenCats,
                         {image(), distance("inputRadius", 2.5, {0, 100, 0, 100}, 0.0),
                          scalar("inputIntensity", 0.5, {0, 10, 0, 1}, 0.0)},
                         [](const FilterValues &v) {
                             const Image in = v.image("inputImage");
                             return sharpen(in, blurs::gaussian(in, v.number("inputRadius")), v.f("inputIntensity"), false);
                         }));
    out.back().previewValues = sharpeningPreview(QStringLiteral("inputRadius"), QStringLiteral("inputIntensity"));
}

} // namespace imaging::catalogue
