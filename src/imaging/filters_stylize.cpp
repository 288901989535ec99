// Stylize filters: pixellation, cells, edges, glows, lighting and masks.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "imaging/blurs.h"
#include "imaging/cachenode.h"
#include "imaging/catalogue.h"
#include "imaging/cellmosaic.h"
#include "imaging/comiclevels.h"
#include "imaging/declare.h"
#include "imaging/gaussianblurnode.h"

namespace imaging::catalogue {

using namespace declare;

namespace {

// Four floats (or ints) handled as one value, with the compiler's vector types.
using Lanes = float __attribute__((vector_size(16)));
using IntLanes = int __attribute__((vector_size(16)));

Lanes load(const float *p)
{
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Sobel gradient magnitude of each channel, scaled.
Image edges(const Image &in, float intensity)
{
    kernels::General g;
    g.inputs = {in};
    g.extent = in.extent();
    g.roi = [](int, const Rect &r) { return r.adjusted(1); };
    g.compute = [intensity](const std::vector<PixelBuffer> &inputs, PixelBuffer &out) {
        const PixelBuffer &s = inputs[0];
        const PixelRect r = out.rect();
        for (int y = r.y0; y < r.y1; ++y) {
            // The 3 x 3 neighbourhood from three rows, starting a pixel left of the first; its
            // channels four at a time, in the order of a channel at a time (the same floats).
            const float *above = s.pixel(r.x0 - 1, y - 1), *row = s.pixel(r.x0 - 1, y), *below = s.pixel(r.x0 - 1, y + 1);
            float *d = out.pixel(r.x0, y);
            for (int x = r.x0; x < r.x1; ++x, above += 4, row += 4, below += 4, d += 4) {
                const Lanes al = load(above), ac = load(above + 4), ar = load(above + 8);
                const Lanes ml = load(row), mr = load(row + 8);
                const Lanes bl = load(below), bc = load(below + 4), br = load(below + 8);
                const Lanes gx = ar + 2 * mr + br - al - 2 * ml - bl;
                const Lanes gy = bl + 2 * bc + br - al - 2 * ac - ar;
                const float alpha = row[7];
                for (int c = 0; c < 3; ++c)
                    d[c] = std::clamp(static_cast<float>(fastHypot(gx[c], gy[c]) * intensity), 0.f, alpha);
                d[3] = alpha;
            }
        }
    };
    return kernels::general(std::move(g));
}

// The luminance of n pixels, four at a time (the same sums as luminance() gives one by one).
void luminanceRow(const float *p, float *out, int n)
{
    int i = 0;
#if defined(__SSE__)
    for (; i + 4 <= n; i += 4, p += 16) {
        __m128 r = _mm_loadu_ps(p), g = _mm_loadu_ps(p + 4), b = _mm_loadu_ps(p + 8), a = _mm_loadu_ps(p + 12);
        _MM_TRANSPOSE4_PS(r, g, b, a);
        const __m128 l = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(0.2126f), r), _mm_mul_ps(_mm_set1_ps(0.7152f), g)),
                                    _mm_mul_ps(_mm_set1_ps(0.0722f), b));
        _mm_storeu_ps(out + i, l);
    }
#endif
    for (; i < n; ++i, p += 4) out[i] = luminance(p[0], p[1], p[2]);
}

// out[i] = the sum over k of weights[|k|] * centre[i + k * step], for n consecutive i: along
// a row (step 1) or down columns (step a row's length). The loops run along i, so that they
// vectorise.
#if defined(__x86_64__) || defined(__i386__)
#define LUMETTA_STYLIZE_AVX2 1
// Eight at a time on processors that have AVX2, with the same operations in the same order as
// the four-lane loop (no fused multiply-adds), so the sums are the same. Returns the count done.
__attribute__((target("avx2"))) int convolveAvx2(const float *centre, std::ptrdiff_t step, float *out, int n, const float *weights, int radius)
{
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256 acc = _mm256_mul_ps(_mm256_loadu_ps(centre + i), _mm256_set1_ps(weights[0]));
        for (int k = 1; k <= radius; ++k) {
            const __m256 pair = _mm256_add_ps(_mm256_loadu_ps(centre + i - k * step), _mm256_loadu_ps(centre + i + k * step));
            acc = _mm256_add_ps(acc, _mm256_mul_ps(pair, _mm256_set1_ps(weights[k])));
        }
        _mm256_storeu_ps(out + i, acc);
    }
    return i;
}

const bool hasAvx2 = __builtin_cpu_supports("avx2");
#endif

void convolve(const float *centre, std::ptrdiff_t step, float *out, int n, const std::vector<float> &weights)
{
    // Four lanes at a time (an -O2 build does not vectorise loops of unknown length by itself).
    const int radius = static_cast<int>(weights.size()) - 1;
    int i = 0;
#ifdef LUMETTA_STYLIZE_AVX2
    if (hasAvx2) i = convolveAvx2(centre, step, out, n, weights.data(), radius);
#endif
    for (; i + 4 <= n; i += 4) {
        Lanes acc = load(centre + i) * weights[0];
        for (int k = 1; k <= radius; ++k) acc += (load(centre + i - k * step) + load(centre + i + k * step)) * weights[k];
        std::memcpy(out + i, &acc, sizeof acc);
    }
    for (; i < n; ++i) {
        float acc = centre[i] * weights[0];
        for (int k = 1; k <= radius; ++k) acc += (centre[i - k * step] + centre[i + k * step]) * weights[k];
        out[i] = acc;
    }
}

// One channel of src, blurred by a Gaussian of the given weights, over the pixels of r (row by
// row); src covers r grown by the weights' radius. channel(p, row, n) takes the channel of n
// pixels from p.
template<typename Channel>
void blurredChannel(const PixelBuffer &src, const PixelRect &r, const std::vector<float> &weights, Channel channel, std::vector<float> &out)
{
    const int R = static_cast<int>(weights.size()) - 1, w = r.width(), h = r.height() + 2 * R, lw = w + 2 * R;
    std::vector<float> plain(static_cast<std::size_t>(lw) * h), rows(static_cast<std::size_t>(w) * h);
    for (int j = 0; j < h; ++j) {
        const float *p = src.pixel(r.x0 - R, r.y0 - R + j);
        float *l = &plain[static_cast<std::size_t>(j) * lw];
        channel(p, l, lw);
        convolve(l + R, 1, &rows[static_cast<std::size_t>(j) * w], w, weights);
    }
    out.resize(static_cast<std::size_t>(w) * r.height());
    for (int j = 0; j < r.height(); ++j) convolve(&rows[static_cast<std::size_t>(j + R) * w], w, &out[static_cast<std::size_t>(j) * w], w, weights);
}

// Luminance edges, a difference of Gaussians, for drawings: crisp, thin lines. The blurs are
// taken on the luminance alone (it is linear in the colours, so blurring it equals the luminance
// of the blurred colours), one channel instead of four, in one pass over the input.
class LuminanceEdges
{
public:
    // Edges for an outline radius: the blurs' sigmas are half of it (at least 0.5) and all of it
    // (at least 1).
    static LuminanceEdges forRadius(double radius, float gain) { return LuminanceEdges(fineSigma(radius), coarseSigma(radius), gain); }

    LuminanceEdges(double fine, double coarse, float gain)
        : m_fine(GaussianBlurNode::weights(fine, static_cast<int>(std::ceil(3.0 * fine)))),
          m_coarse(GaussianBlurNode::weights(coarse, static_cast<int>(std::ceil(3.0 * coarse)))),
          m_gain(gain)
    {
    }

    // The sigmas of the two blurs for an outline radius.
    static double fineSigma(double radius) { return std::max(0.5, radius * 0.5); }
    static double coarseSigma(double radius) { return std::max(1.0, radius); }

    // How far beyond a pixel the edges read.
    int reach() const { return static_cast<int>(m_coarse.size()) - 1; }

    // The 0..1 strength of the pixels of r, row by row, from src covering r grown by reach().
    void compute(const PixelBuffer &src, const PixelRect &r, std::vector<float> &edges) const
    {
        const int R = reach(), w = r.width(), h = r.height() + 2 * R, lw = w + 2 * R;
        // Scratch rows kept per thread: tiles come one after another.
        thread_local std::vector<float> lum, fine, coarse;
        lum.resize(static_cast<std::size_t>(lw) * h);
        fine.resize(static_cast<std::size_t>(w) * h);
        coarse.resize(fine.size());
        for (int j = 0; j < h; ++j) {
            const float *p = src.pixel(r.x0 - R, r.y0 - R + j);
            float *l = &lum[static_cast<std::size_t>(j) * lw];
            luminanceRow(p, l, lw);
        }
        for (int j = 0; j < h; ++j) {
            const float *l = &lum[static_cast<std::size_t>(j) * lw + R];
            convolve(l, 1, &fine[static_cast<std::size_t>(j) * w], w, m_fine);
            convolve(l, 1, &coarse[static_cast<std::size_t>(j) * w], w, m_coarse);
        }
        edges.resize(static_cast<std::size_t>(w) * r.height());
        std::vector<float> f(w), c(w);
        for (int j = 0; j < r.height(); ++j) {
            convolve(&fine[static_cast<std::size_t>(j + R) * w], w, f.data(), w, m_fine);
            convolve(&coarse[static_cast<std::size_t>(j + R) * w], w, c.data(), w, m_coarse);
            float *e = &edges[static_cast<std::size_t>(j) * w];
            // Four at a time and without branches: which side of 0 and 1 a difference falls is
            // as good as random along a row, and a mispredicted branch per pixel cost more than
            // the blurs.
            int i = 0;
            for (; i + 4 <= w; i += 4) {
                const Lanes v = (load(&c[i]) - load(&f[i])) * m_gain;
                const Lanes clamped = v < 0.f ? 0.f : (v > 1.f ? 1.f : v);
                std::memcpy(e + i, &clamped, sizeof clamped);
            }
            for (; i < w; ++i) e[i] = clamp01((c[i] - f[i]) * m_gain);
        }
    }

private:
    std::vector<float> m_fine, m_coarse;
    float m_gain;
};

// The edges as a 0..1 strength per pixel in r, g, b (alpha 1) over the input's extent.
Image edgeStrength(const Image &in, double radius, float gain)
{
    if (radius >= 4.8) {
        // Wide blurs cost less through the blur node, which works on a coarser grid from there.
        const Image fine = blurs::gaussian(in, std::max(0.5, radius * 0.5));
        const Image coarse = blurs::gaussian(in, std::max(1.0, radius));
        return kernels::blend(fine, coarse, [gain](const float *f, const float *c, float *o, int n) {
            for (int i = 0; i < n * 4; i += 4) {
                o[i] = o[i + 1] = o[i + 2] = clamp01((luminance(c[i], c[i + 1], c[i + 2]) - luminance(f[i], f[i + 1], f[i + 2])) * gain);
                o[i + 3] = 1.f;
            }
        }).cropped(in.extent());
    }
    const LuminanceEdges edges = LuminanceEdges::forRadius(radius, gain);
    kernels::General g;
    g.inputs = {in};
    g.extent = in.extent();
    g.roi = [R = edges.reach()](int, const Rect &r) { return r.adjusted(R); };
    g.compute = [edges](const std::vector<PixelBuffer> &inputs, PixelBuffer &out) {
        std::vector<float> e;
        edges.compute(inputs[0], out.rect(), e);
        float *o = out.data();
        for (std::size_t i = 0; i < e.size(); ++i, o += 4) {
            o[0] = o[1] = o[2] = e[i];
            o[3] = 1.f;
        }
    };
    return kernels::general(std::move(g));
}

Image mixWithMask(const Image &fg, const Image &bg, const Image &mask, bool byAlpha)
{
    kernels::General g;
    g.inputs = {fg, bg, mask};
    g.extent = fg.extent().united(bg.extent());
    g.roi = [](int, const Rect &r) { return r; };
    g.compute = [byAlpha](const std::vector<PixelBuffer> &in, PixelBuffer &out) {
        const std::size_t n = static_cast<std::size_t>(out.rect().area()) * 4;
        const float *f = in[0].data(), *b = in[1].data(), *m = in[2].data();
        float *o = out.data();
        for (std::size_t i = 0; i < n; i += 4) {
            const float t = byAlpha ? m[i + 3] : clamp01(luminance(m[i], m[i + 1], m[i + 2]));
            for (int c = 0; c < 4; ++c) o[i + c] = b[i + c] + (f[i + c] - b[i + c]) * t;
        }
    };
    return kernels::general(std::move(g));
}

// A blur's sigma, in pixels of the full picture, as applied to the picture at scale t < 1 (in
// pixels at t): that picture was already averaged over blocks of about 1 / t pixels, whose own
// spread (the variance of a box of that width) is taken off, so that the two blurs together
// spread as much as the full one.
double sigmaAtScale(double sigma, double t)
{
    if (t >= 1) return sigma;
    const double averaged = (1 / (t * t) - 1) / 12;
    return std::sqrt(std::max(sigma * sigma - averaged, 0.09)) * t;
}

// The square root of each lane.
inline Lanes squareRoot(Lanes v)
{
#if defined(__SSE__)
    return __builtin_ia32_sqrtps(v);
#else
    for (int c = 0; c < 4; ++c) v[c] = std::sqrt(v[c]);
    return v;
#endif
}

// Flat colours in four levels with dark outlines 2 pixels wide, in one pass over the input. At
// scale t < 1 the outlines' blurs are scaled, and each pixel, which stands for a block of about
// 1 / t pixels of the full picture, takes the mean level of the colours it spans (as judged by
// its neighbours) instead of the level of its mean colour, so that the bands blend at their
// borders as the full result does when seen at that scale.
Image comic(const Image &in, double t)
{
    constexpr double radius = 2.0;
    // The blurs are scaled with the picture alone: the averaging that the reduced picture carries
    // makes up for what a sampled Gaussian this narrow leaves out (taking that averaging off as
    // the shading does made the outlines busier than the full result seen at that scale).
    const double scaled = std::min(t, 1.0);
    const LuminanceEdges lines(LuminanceEdges::fineSigma(radius) * scaled, LuminanceEdges::coarseSigma(radius) * scaled, 14.f);
    const bool reduced = t < 1;
    kernels::General g;
    g.inputs = {in};
    g.extent = in.extent();
    g.roi = [R = std::max(1, lines.reach())](int, const Rect &r) { return r.adjusted(R); };
    g.compute = [lines, reduced](const std::vector<PixelBuffer> &inputs, PixelBuffer &out) {
        const PixelRect r = out.rect();
        std::vector<float> e;
        lines.compute(inputs[0], r, e);
        const float *edge = e.data();
        const std::ptrdiff_t up = static_cast<std::ptrdiff_t>(inputs[0].stride());
        for (int y = r.y0; y < r.y1; ++y) {
            const float *s = inputs[0].pixel(r.x0, y);
            float *o = out.pixel(r.x0, y);
            if (reduced) {
                comiclevels::spreadRow(s, up, edge, o, r.width());
                edge += r.width();
                continue;
            }
            for (int x = r.x0; x < r.x1; ++x, s += 4, o += 4, ++edge) {
                const float a = s[3], inverse = a > 0 ? 1.f / a : 0.f;
                const float ink = 1.f - clamp01(*edge * 1.5f);
                // The four channels at once; alpha is put back after.
                Lanes straight;
                std::memcpy(&straight, s, sizeof straight);
                straight *= inverse * 1.1f;
                straight = straight < 0.f ? 0.f : (straight > 1.f ? 1.f : straight);
                // Rounded to the nearest of four levels (non-negative: truncation after + 0.5).
                const Lanes level = __builtin_convertvector(__builtin_convertvector(straight * 3.f + 0.5f, IntLanes), Lanes);
                const Lanes result = level * (ink * a / 3.f);
                std::memcpy(o, &result, sizeof result);
                o[3] = a;
            }
        }
    };
    return kernels::general(std::move(g));
}

// Whether all n pixels from p have alpha 1: sixteen at a time, without a branch per pixel.
bool allOpaque(const float *p, std::size_t n)
{
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        IntLanes all = load(p + 4 * i) == 1.f;
        for (std::size_t j = 1; j < 16; ++j) all &= load(p + 4 * (i + j)) == 1.f;
        if (!all[3]) return false;
    }
    for (; i < n; ++i)
        if (p[4 * i + 3] != 1.f) return false;
    return true;
}

// The input's luminance is a height field; each pixel shows the shading image (a lit sphere) at
// the point whose normal matches its own. The height field is blurred by one pixel and its slope
// taken over three (at scale t: the blur scaled, the slope over three pixels at t).
Image shadedMaterial(const FilterValues &v, double t)
{
    const Image in = v.image("inputImage"), shade = CacheNode::wrap(v.image("inputShadingImage"));
    const Rect se = shade.extent();
    if (se.isEmpty() || se.isInfinite()) return Image();
    const float scale = v.f("inputScale");
    // The height field is the luminance after a one-pixel Gaussian blur,
    // blurred as one channel (with the alpha that limits the result).
    const double sigma = sigmaAtScale(1.0, t);
    const std::vector<float> blur = GaussianBlurNode::weights(sigma, static_cast<int>(std::ceil(3 * sigma)));
    kernels::General g;
    // Every tile reads the whole shading image: a cached one is read where it is kept, not
    // copied into each tile's input.
    const auto *cached = dynamic_cast<const CacheNode *>(shade.node().get());
    g.inputs = cached ? std::vector<Image>{in} : std::vector<Image>{in, shade};
    g.extent = in.extent();
    g.roi = [se, R = static_cast<int>(blur.size())](int i, const Rect &r) { return i == 0 ? r.adjusted(R) : se; };
    const bool reduced = t < 1;
    g.compute = [=](const std::vector<PixelBuffer> &inputs, PixelBuffer &o) {
        const PixelBuffer &s = cached ? static_cast<const CacheNode &>(*shade.node()).pixels() : inputs[1];
        const PixelRect r = o.rect(), around = r.adjusted(1);
        std::vector<float> height, alpha;
        blurredChannel(inputs[0], around, blur, luminanceRow, height);
        // An opaque picture (a photograph) has nothing to blur in its alpha. The full render blurs
        // it all the same, whose weights need not add up to exactly 1 in floats.
        const float *in = inputs[0].data();
        const std::size_t n = static_cast<std::size_t>(inputs[0].rect().area());
        if (reduced && allOpaque(in, n))
            alpha.assign(static_cast<std::size_t>(r.area()), 1.f);
        else
            blurredChannel(inputs[0], r, blur, [](const float *p, float *row, int m) { for (int i = 0; i < m; ++i) row[i] = p[4 * i + 3]; }, alpha);
        const std::size_t hw = static_cast<std::size_t>(around.width());
        const double cx = se.x() + se.width() / 2, cy = se.y() + se.height() / 2;
        const float rx = static_cast<float>(se.width() / 2 - 1), ry = static_cast<float>(se.height() / 2 - 1);
        // The shading image is sampled bilinearly with its edges extended, in
        // buffer coordinates (pixel centres at whole numbers), four channels at once.
        const int sw = s.width(), sh = s.height();
        const float fx0 = static_cast<float>(cx - s.rect().x0 - 0.5), fy0 = static_cast<float>(cy - s.rect().y0 - 0.5);
        const float fx1 = static_cast<float>(sw - 1), fy1 = static_cast<float>(sh - 1);
        const int lastX = std::max(sw - 2, 0), lastY = std::max(sh - 2, 0);
        const std::size_t right = sw > 1 ? 4 : 0, up = sh > 1 ? s.stride() : 0;
        // The bilinear mix of the four pixels from p, weighted tx across and ty up, times k.
        auto mix = [&](const float *p, float tx, float ty, float k, float *d) {
            const Lanes p00 = load(p), p10 = load(p + right), p01 = load(p + up), p11 = load(p + up + right);
            const Lanes bottom = p00 + (p10 - p00) * tx, top = p01 + (p11 - p01) * tx;
            const Lanes v = (bottom + (top - bottom) * ty) * k;
            std::memcpy(d, &v, 16);
        };
        auto shadeAt = [&](float fx, float fy, float k, float *d) {
            fx = std::clamp(fx, 0.f, fx1);
            fy = std::clamp(fy, 0.f, fy1);
            const int ix = std::min(static_cast<int>(fx), lastX), iy = std::min(static_cast<int>(fy), lastY);
            mix(s.data() + (static_cast<std::size_t>(iy) * sw + ix) * 4, fx - ix, fy - iy, k, d);
        };
        // The same for four points at once: the clamping and the cell each falls in are worked
        // out together, leaving only the four mixes one by one.
        auto shadeFour = [&](Lanes fx, Lanes fy, const float *k, float *d) {
            fx = fx < 0.f ? 0.f : (fx1 < fx ? fx1 : fx);
            fy = fy < 0.f ? 0.f : (fy1 < fy ? fy1 : fy);
            IntLanes ix = __builtin_convertvector(fx, IntLanes), iy = __builtin_convertvector(fy, IntLanes);
            ix = ix < lastX ? ix : lastX;
            iy = iy < lastY ? iy : lastY;
            const Lanes tx = fx - __builtin_convertvector(ix, Lanes), ty = fy - __builtin_convertvector(iy, Lanes);
            for (int j = 0; j < 4; ++j)
                mix(s.data() + (static_cast<std::size_t>(iy[j]) * sw + ix[j]) * 4, tx[j], ty[j], std::min(1.f, k[j]), d + 4 * j);
        };
        const float *a = alpha.data();
        const int w = r.width();
        for (int y = r.y0; y < r.y1; ++y) {
            const float *H = &height[(y - around.y0) * hw + 1];
            float *d = o.pixel(r.x0, y);
            int i = 0;
            // The normals of four pixels at once, then their four lookups.
            for (; i + 4 <= w; i += 4, d += 16, a += 4) {
                Lanes nx = -(load(H + i + 1) - load(H + i - 1)) * 0.5f * scale;
                Lanes ny = -(load(H + i + hw) - load(H + i - hw)) * 0.5f * scale;
                const Lanes inverse = 1.f / squareRoot(nx * nx + ny * ny + 1);
                nx *= inverse; ny *= inverse;
                const Lanes fx = fx0 + nx * rx, fy = fy0 + ny * ry;
                shadeFour(fx, fy, a, d);
            }
            for (; i < w; ++i, d += 4, ++a) {
                float nx = -(H[i + 1] - H[i - 1]) * 0.5f * scale;
                float ny = -(H[i + hw] - H[i - hw]) * 0.5f * scale;
                const float inverse = 1.f / std::sqrt(nx * nx + ny * ny + 1);
                nx *= inverse; ny *= inverse;
                shadeAt(fx0 + nx * rx, fy0 + ny * ry, std::min(1.f, *a), d);
            }
        }
    };
    return kernels::general(std::move(g));
}

} // namespace

void registerStylize(std::vector<FilterDescription> &out)
{
    const QStringList cats{kCICategoryStylize, kCICategoryVideo};

    // The cells mix by area where a pixel straddles them, so a reduced preview of small cells
    // shows their mean colours without rendering finer.
    out.push_back(filter("CIPixellate", "Pixellate", cats,
                         {image(), position("inputCenter", {150, 150}), distance("inputScale", 8, {1, 1000, 1, 100}, 1.0)},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double s = std::max(1e-3, v.number("inputScale"));
                             return cells::squares(v.image("inputImage"), c.X(), c.Y(), s);
                         }));

    out.push_back(filter("CIHexagonalPixellate", "Hexagonal Pixellate", cats,
                         {image(), position("inputCenter", {150, 150}), distance("inputScale", 8, {1, 1000, 1, 100}, 1.0)},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             return cells::hexagons(v.image("inputImage"), c.X(), c.Y(), std::max(1e-3, v.number("inputScale")));
                         }));

    out.push_back(filter("CICrystallize", "Crystallize", cats,
                         {image(), distance("inputRadius", 20, {1, 1000, 1, 100}), position("inputCenter", {150, 150})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             return cells::crystals(v.image("inputImage"), c.X(), c.Y(), std::max(1.0, v.number("inputRadius")));
                         }));

    out.push_back(filter("CIPointillize", "Pointillize", cats,
                         {image(), distance("inputRadius", 20, {1, 1000, 1, 100}), position("inputCenter", {150, 150})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double r = std::max(1.0, v.number("inputRadius"));
                             const Image in = v.image("inputImage");
                             // Dots of the seed's colour over white paper as wide as the picture
                             // (the dots' extent): the paper shows through where a dot is not opaque.
                             const Image dots = cells::dots(in, c.X(), c.Y(), r * 1.6, r * 0.8);
                             return kernels::color(dots, [](float *p, int n, int, int) {
                                 for (int i = 0; i < n * 4; i += 4) {
                                     const float paper = 1 - p[i + 3];
                                     for (int k = 0; k < 4; ++k) p[i + k] += paper;
                                 }
                             });
                         }));

    out.push_back(filter("CIEdges", "Edges", cats, {image(), scalar("inputIntensity", 1, {0, 100, 0, 10})},
                         [](const FilterValues &v) { return edges(v.image("inputImage"), v.f("inputIntensity")); }));

    out.push_back(filter("CIEdgeWork", "Edge Work", cats, {image(), distance("inputRadius", 3, {0, 20, 0, 20})},
                         [](const FilterValues &v) {
                             // Black strokes on a transparent ground: the dark side of each edge.
                             const Image e = edgeStrength(v.image("inputImage"), v.number("inputRadius"), 12.f);
                             return kernels::color(e, [](float *p, int n, int, int) {
                                 for (int i = 0; i < n * 4; i += 4) {
                                     const float a = p[i] > 0.3f ? 1.f : p[i] / 0.3f;
                                     p[i] = p[i + 1] = p[i + 2] = 0.f;
                                     p[i + 3] = a;
                                 }
                             });
                         }));

    out.push_back(filter("CIBloom", "Bloom", cats,
                         {image(), distance("inputRadius", 10, {0, 1000, 0, 100}), scalar("inputIntensity", 0.5, {0, 1, 0, 1}, 0.0)},
                         [](const FilterValues &v) {
                             const Image in = v.image("inputImage");
                             const float k = v.f("inputIntensity");
                             return kernels::blend(in, blurs::gaussian(in, v.number("inputRadius")), [k](const float *s, const float *b, float *o, int n) {
                                 // Screen the blurred picture over the original: highlights spill outward.
                                 for (int i = 0; i < n * 4; i += 4) {
                                     for (int c = 0; c < 3; ++c) o[i + c] = std::min(s[i + 3], s[i + c] + b[i + c] * k * (1 - s[i + c]));
                                     o[i + 3] = s[i + 3];
                                 }
                             }).cropped(in.extent());
                         }));

    out.push_back(filter("CIGloom", "Gloom", cats,
                         {image(), distance("inputRadius", 10, {0, 1000, 0, 100}), scalar("inputIntensity", 0.5, {0, 1, 0, 1}, 0.0)},
                         [](const FilterValues &v) {
                             const Image in = v.image("inputImage");
                             const float k = v.f("inputIntensity");
                             return kernels::blend(in, blurs::gaussian(in, v.number("inputRadius")), [k](const float *s, const float *b, float *o, int n) {
                                 // Multiply by the blurred picture: highlights dim, shadows spread.
                                 for (int i = 0; i < n * 4; i += 4) {
                                     const float a = s[i + 3];
                                     for (int c = 0; c < 3; ++c) {
                                         const float m = a > 0 ? s[i + c] * b[i + c] / std::max(b[i + 3], 1e-6f) : 0.f;
                                         o[i + c] = s[i + c] + (m - s[i + c]) * k;
                                     }
                                     o[i + 3] = a;
                                 }
                             }).cropped(in.extent());
                         }));

    out.push_back(filter("CIComicEffect", "Comic Effect", cats, {image()},
                         [](const FilterValues &v) { return comic(v.image("inputImage"), 1.0); }));
    out.back().buildAtScale = [](const FilterValues &v, double t) { return comic(v.image("inputImage"), t); };

    out.push_back(filter("CILineOverlay", "Line Overlay", cats,
                         {image(), scalar("inputNRNoiseLevel", 0.07, {0, 1, 0, 0.1}), scalar("inputNRSharpness", 0.71, {0, 10, 0, 2}),
                          scalar("inputEdgeIntensity", 1, {0, 200, 0, 10}), scalar("inputThreshold", 0.1, {0, 1, 0, 1}),
                          scalar("inputContrast", 50, {0.25, 200, 0.25, 200})},
                         [](const FilterValues &v) {
                             const float threshold = v.f("inputThreshold"), contrast = v.f("inputContrast");
                             const Image smooth = blurs::gaussian(v.image("inputImage"), 1.0 + v.number("inputNRNoiseLevel") * 10);
                             const Image e = edges(smooth, v.f("inputEdgeIntensity") * (1 + v.f("inputNRSharpness")));
                             // Black lines where the edges pass the threshold; transparent elsewhere.
                             return kernels::color(e, [=](float *p, int n, int, int) {
                                 for (int i = 0; i < n * 4; i += 4) {
                                     const float a = clamp01((luminance(p[i], p[i + 1], p[i + 2]) - threshold) * contrast) * p[i + 3];
                                     p[i] = p[i + 1] = p[i + 2] = 0.f;
                                     p[i + 3] = a;
                                 }
                             });
                         }));

    out.push_back(filter("CIHighlightShadowAdjust", "Highlight and Shadow Adjust", cats,
                         {image(), distance("inputRadius", 0, {0, 100, 0, 10}), scalar("inputShadowAmount", 0, {-1, 1, -1, 1}, 0.0),
                          scalar("inputHighlightAmount", 1, {0, 1, 0.3, 1}, 1.0)},
                         [](const FilterValues &v) {
                             const Image in = v.image("inputImage");
                             const float sh = v.f("inputShadowAmount"), hi = v.f("inputHighlightAmount");
                             // The tone is judged on a blurred copy (radius) so that local
                             // contrast survives; shadows are lifted, highlights pulled down.
                             return kernels::blend(in, blurs::gaussian(in, v.number("inputRadius")), [=](const float *s, const float *b, float *o, int n) {
                                 for (int i = 0; i < n * 4; i += 4) {
                                     const float a = s[i + 3];
                                     if (a <= 0) { std::fill(o + i, o + i + 4, 0.f); continue; }
                                     const float l = clamp01(luminance(b[i], b[i + 1], b[i + 2]) / std::max(b[i + 3], 1e-6f));
                                     const float gain = 1.f + sh * (1 - l) * (1 - l) * 1.5f - (1 - hi) * l * l;
                                     for (int c = 0; c < 3; ++c) o[i + c] = std::clamp(s[i + c] * gain, 0.f, a);
                                     o[i + 3] = a;
                                 }
                             }).cropped(in.extent());
                         }));

    out.push_back(filter("CISpotLight", "Spot Light", cats,
                         {image(), position3("inputLightPosition", {400, 600, 150}), position3("inputLightPointsAt", {200, 200, 0}),
                          scalar("inputBrightness", 3, {0, 50, 0, 10}), scalar("inputConcentration", 0.1, {0.001, 1.5, 0.001, 1.5}),
                          color("inputColor", {1, 1, 1, 1})},
                         [](const FilterValues &v) {
                             const Vector L = v.vector("inputLightPosition"), T = v.vector("inputLightPointsAt");
                             const double bright = v.number("inputBrightness"), conc = v.number("inputConcentration");
                             const Color col = v.color("inputColor");
                             double ax = T.X() - L.X(), ay = T.Y() - L.Y(), az = T.Z() - L.Z();
                             const double alen = std::max(1e-9, std::sqrt(ax * ax + ay * ay + az * az));
                             ax /= alen; ay /= alen; az /= alen;
                             return kernels::color(v.image("inputImage"), [=](float *p, int n, int x0, int y) {
                                 for (int i = 0; i < n; ++i, p += 4) {
                                     // Lambert lighting of a flat surface (normal +z) from a cone light.
                                     double dx = x0 + i + 0.5 - L.X(), dy = y + 0.5 - L.Y(), dz = -L.Z();
                                     const double d = std::max(1e-9, std::sqrt(dx * dx + dy * dy + dz * dz));
                                     dx /= d; dy /= d; dz /= d;
                                     const double cone = std::pow(std::max(0.0, dx * ax + dy * ay + dz * az), 1.0 / std::max(conc, 1e-3));
                                     const double lambert = std::max(0.0, -dz);
                                     const double k = bright * cone * lambert;
                                     p[0] = static_cast<float>(std::min<double>(p[3], p[0] * k * col.red));
                                     p[1] = static_cast<float>(std::min<double>(p[3], p[1] * k * col.green));
                                     p[2] = static_cast<float>(std::min<double>(p[3], p[2] * k * col.blue));
                                 }
                             });
                         }));

    out.push_back(filter("CIShadedMaterial", "Shaded Material", cats,
                         {image(), image("inputShadingImage", "Shading Image", DefaultImage::ShadingMap), distance("inputScale", 10, {0, 1000, 0, 200})},
                         [](const FilterValues &v) { return shadedMaterial(v, 1.0); }));
    out.back().buildAtScale = shadedMaterial;

    out.push_back(filter("CIHeightFieldFromMask", "Height Field From Mask", cats,
                         {image(), distance("inputRadius", 10, {0, 300, 0, 300})},
                         [](const FilterValues &v) {
                             // A rounded height field: the blurred mask, shaped so that edges slope.
                             const Image in = v.image("inputImage");
                             const Image soft = blurs::gaussian(in, std::max(0.5, v.number("inputRadius") / 2));
                             return kernels::color(soft, [](float *p, int n, int, int) {
                                 for (int i = 0; i < n * 4; i += 4) {
                                     const float m = clamp01(luminance(p[i], p[i + 1], p[i + 2]));
                                     const float h = std::sqrt(1.f - (1.f - m) * (1.f - m));
                                     p[i] = p[i + 1] = p[i + 2] = h;
                                     p[i + 3] = 1.f;
                                 }
                             }).cropped(in.extent());
                         }));

    out.push_back(filter("CIBlendWithMask", "Blend With Mask", cats,
                         {image(), image("inputBackgroundImage", "Background Image"), image("inputMaskImage", "Mask Image")},
                         [](const FilterValues &v) {
                             return mixWithMask(v.image("inputImage"), v.image("inputBackgroundImage"), v.image("inputMaskImage"), false);
                         }));

    out.push_back(filter("CIBlendWithAlphaMask", "Blend With Alpha Mask", cats,
                         {image(), image("inputBackgroundImage", "Background Image"), image("inputMaskImage", "Mask Image")},
                         [](const FilterValues &v) {
                             return mixWithMask(v.image("inputImage"), v.image("inputBackgroundImage"), v.image("inputMaskImage"), true);
                         }));
}

} // namespace imaging::catalogue
