// Generators: pictures without an input image, usually of infinite extent.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "imaging/catalogue.h"
#include "imaging/declare.h"
#include "imaging/rowgenerator.h"

namespace imaging::catalogue {

using namespace declare;

namespace {

// How far inside its cell a coordinate lies, as a blend weight: 0 in the cell's first colour,
// 1 in the second, with a soft edge of (1 - sharpness) cells around each boundary.
float stripeWeight(double t, double sharpness)
{
    // t is in cell units; parity of floor(t) picks the colour.
    const double cell = std::floor(t);
    const double frac = t - cell;
    const bool odd = static_cast<long long>(cell) & 1;
    const double soft = std::clamp(1.0 - sharpness, 0.0, 1.0) * 0.5;
    if (soft <= 0) return odd ? 1.f : 0.f;
    // Distance to the nearest boundary, in cell units; inside `soft` the colours mix.
    double w = odd ? 1.0 : 0.0;
    if (frac < soft) w = (odd ? 1.0 : 0.0) + (odd ? -1.0 : 1.0) * 0.5 * (1.0 - frac / soft);
    else if (frac > 1 - soft) w = (odd ? 1.0 : 0.0) + (odd ? -1.0 : 1.0) * 0.5 * (1.0 - (1 - frac) / soft);
    return static_cast<float>(w);
}

// The stripe profile stripeWeight draws, averaged over a span [a, b] of cell units: what a
// pixel covering that span shows. Edges come out weighted by the area each colour covers, and
// cells narrower than a pixel average to their mean tone instead of aliasing. The profile is a
// square wave (0 in even cells, 1 in odd ones) blurred by a box of `soft` cells on each side, so
// its integrals follow from those of the square wave.
class StripeProfile
{
public:
    explicit StripeProfile(double sharpness) : m_sharpness(sharpness), m_soft(std::clamp(1.0 - sharpness, 0.0, 1.0) * 0.5) {}

    double mean(double a, double b) const
    {
        const double d = b - a;
        if (!(d > 0)) return stripeWeight(a, m_sharpness);
        // The profile repeats every two cells: keep the numbers small for the cancellations below.
        const double shift = 2 * std::floor(a / 2);
        a -= shift;
        b -= shift;
        const double s = m_soft;
        if (s * d > 1e-10) return (square2(b + s) - square2(a + s) - square2(b - s) + square2(a - s)) / (2 * s * d);
        // A ramp wider than the span is linear across it but for one kink: its middle value.
        if (d <= s) return stripeWeight((a + b) / 2, m_sharpness);
        // A ramp far narrower than the span: the square wave's own mean.
        return (square1(b) - square1(a)) / d;
    }

private:
    // Integral from 0 to t of the square wave.
    static double square1(double t)
    {
        const double p = std::floor(t / 2), r = t - 2 * p;
        return p + std::max(0.0, r - 1);
    }
    // Integral from 0 to t of square1.
    static double square2(double t)
    {
        const double p = std::floor(t / 2), r = t - 2 * p;
        return p * (p - 1) + 0.5 * p + p * r + (r > 1 ? 0.5 * (r - 1) * (r - 1) : 0.0);
    }

    double m_sharpness, m_soft;
};

// Stripes across x, and for the checkerboard across y as well, the two mixed as an exclusive or.
// Each pixel shows the profile's mean over its span, computed once per column and once per row
// of a tile: the two directions are independent, so the mean over the square pixel is exact.
Image stripesOrSquares(const FilterValues &v, bool squares)
{
    const Vector c = v.vector("inputCenter");
    const double cx = c.X(), cy = c.Y(), w = std::max(1e-3, v.number("inputWidth"));
    const StripeProfile profile(v.number("inputSharpness"));
    std::array<float, 4> c0, c1;
    premultiplied(v.color("inputColor0"), c0.data());
    premultiplied(v.color("inputColor1"), c1.data());
    kernels::General k;
    k.extent = Rect::infinite();
    k.compute = [=](const std::vector<PixelBuffer> &, PixelBuffer &out) {
        const PixelRect r = out.rect();
        auto across = [&](int i, double origin) { return static_cast<float>(profile.mean((i - origin) / w, (i + 1 - origin) / w)); };
        std::vector<float> wx(static_cast<std::size_t>(r.width()));
        for (int x = r.x0; x < r.x1; ++x) wx[static_cast<std::size_t>(x - r.x0)] = across(x, cx);
        for (int y = r.y0; y < r.y1; ++y) {
            // The square whose bottom-left corner is the centre has colour 0.
            const float wy = squares ? across(y, cy) : 0.f;
            float *o = out.row(y);
            for (std::size_t i = 0; i < wx.size(); ++i, o += 4) mix(c0.data(), c1.data(), wx[i] + wy - 2 * wx[i] * wy, o);
        }
    };
    return kernels::general(std::move(k));
}

std::uint32_t hash(std::int64_t x, std::int64_t y, std::uint32_t salt)
{
    std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(y) * 0xC2B2AE3D27D4EB4Full ^ salt;
    h ^= h >> 31; h *= 0xBF58476D1CE4E5B9ull; h ^= h >> 29;
    return static_cast<std::uint32_t>(h);
}

// A direction as a unit complex number (cos, sin). Multiples of an angle come from powers of it,
// so rays and striations around a centre need no trigonometry per pixel.
struct Turn
{
    float c = 1, s = 0;
};
inline Turn operator*(Turn a, Turn b) { return {a.c * b.c - a.s * b.s, a.c * b.s + a.s * b.c}; }
inline Turn turnOf(double angle) { return {static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))}; }

// The pixels of a row whose centres lie within `radius` of (cx, cy): [first, last) clipped to
// [x0, x0 + count). Empty (first == last) when the row misses the disc.
struct Span
{
    int first, last;
};
Span spanWithin(double cx, double dy, double radius, int x0, int count)
{
    if (!(std::abs(dy) < radius)) return {x0, x0};
    const double half = std::sqrt(radius * radius - dy * dy);
    const double lo = std::clamp(std::floor(cx - half - 0.5), double(x0), double(x0 + count));
    const double hi = std::clamp(std::ceil(cx + half - 0.5) + 1, lo, double(x0 + count));
    return {static_cast<int>(lo), static_cast<int>(hi)};
}

// Fills pixels [from, to) of a row (starting at column x0) with transparent black.
void clearPixels(float *row, int x0, int from, int to)
{
    if (to > from) std::fill(row + 4 * (from - x0), row + 4 * (to - x0), 0.f);
}

// A generator drawn only within `radius` of `centre`, row by row, transparent elsewhere:
// pixel(rgba, dx, dy) gets each pixel within reach, with its centre's offset from `centre`.
template<typename Pixel>
Image discGenerator(const Vector &centre, double radius, Pixel pixel)
{
    return kernels::rowGenerator(Rect::infinite(), [=](int y, int x0, int n, float *o) {
        const double dyD = y + 0.5 - centre.Y();
        const Span lit = spanWithin(centre.X(), dyD, radius, x0, n);
        clearPixels(o, x0, x0, lit.first);
        clearPixels(o, x0, lit.last, x0 + n);
        const float dy = float(dyD);
        for (int x = lit.first; x < lit.last; ++x) pixel(o + 4 * (x - x0), float(x + 0.5 - centre.X()), dy);
    });
}

// Noise of independent random colour and alpha per pixel (colour premultiplied), each value
// spread about one half by `spread` (1: evenly over 0..1).
Image randomNoise(float spread)
{
    // Byte values as fractions of 255 from a table: four divisions per pixel cost more than the
    // hashes.
    std::array<float, 256> level;
    for (int b = 0; b < 256; ++b)
        level[static_cast<std::size_t>(b)] = spread == 1.f ? b / 255.f : 0.5f + (b / 255.f - 0.5f) * spread;
    return kernels::rowGenerator(Rect::infinite(), [level](int y, int x0, int n, float *o) {
        for (int x = x0; x < x0 + n; ++x, o += 4) {
            const std::uint32_t h = hash(x, y, 17), h2 = hash(x, y, 91);
            const float a = level[(h2 >> 8) & 0xff];
            o[0] = level[h & 0xff] * a; o[1] = level[(h >> 8) & 0xff] * a; o[2] = level[(h >> 16) & 0xff] * a;
            o[3] = a;
        }
    });
}

} // namespace

void registerGenerator(std::vector<FilterDescription> &out)
{
    const QStringList gen{kCICategoryGenerator, kCICategoryVideo};

    const std::vector<InputDescription> stripeInputs{
        position("inputCenter", {150, 150}), color("inputColor0", {1, 1, 1, 1}), color("inputColor1", {0, 0, 0, 1}),
        distance("inputWidth", 80, {0, 10000, 0, 800}), scalar("inputSharpness", 1.0, {0, 1, 0, 1})};
    out.push_back(filter("CICheckerboardGenerator", "Checkerboard", gen, stripeInputs,
                         [](const FilterValues &v) { return stripesOrSquares(v, true); }));
    out.push_back(filter("CIStripesGenerator", "Stripes", gen, stripeInputs,
                         [](const FilterValues &v) { return stripesOrSquares(v, false); }));

    out.push_back(filter("CIConstantColorGenerator", "Constant Color", gen, {color("inputColor", {1, 0, 0, 1})},
                         [](const FilterValues &v) {
                             float c[4];
                             premultiplied(v.color("inputColor"), c);
                             return kernels::generator(Rect::infinite(), [=](double, double, float *o) { std::copy(c, c + 4, o); });
                         }));

    // A new value every pixel: the finest pattern there is.
    FilterDescription random = filter("CIRandomGenerator", "Random Generator", gen, {},
                                      [](const FilterValues &) { return randomNoise(1.f); });
    // Seen at scale s, each screen pixel averages 1 / s^2 noise pixels, whose spread about the mean
    // is s times that of one: the preview draws one value per pixel with its spread narrowed by s,
    // the same mean and deviation as the reduced full render, instead of drawing 1 / s^2 values.
    random.previewBuild = [](const FilterValues &, double s) { return randomNoise(static_cast<float>(s)); };
    out.push_back(std::move(random));

    out.push_back(filter("CIStarShineGenerator", "Star Shine", gen,
                         {position("inputCenter", {150, 150}), color("inputColor", {1, 0.8, 0.6, 1}),
                          distance("inputRadius", 50, {0, 1000, 0, 300}), scalar("inputCrossScale", 15, {0, 100, 0, 100}),
                          angle("inputCrossAngle", 0.6), scalar("inputCrossOpacity", -2, {-8, 0, -8, 0}),
                          distance("inputCrossWidth", 2.5, {0, 300, 0, 300}), scalar("inputEpsilon", -2, {-8, 0, -8, 0})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const Color col = v.color("inputColor");
                             const double r = std::max(1e-3, v.number("inputRadius")), cs = v.number("inputCrossScale"),
                                          ca = v.number("inputCrossAngle"), co = std::pow(10.0, v.number("inputCrossOpacity")),
                                          cw = std::max(1e-3, v.number("inputCrossWidth")), eps = std::pow(10.0, v.number("inputEpsilon"));
                             const float cosA = float(std::cos(ca)), sinA = float(std::sin(ca));
                             const float invR2 = float(1 / (r * r)), invCw = float(1 / cw), rayAmp = float(co * 50), epsF = float(eps);
                             // Length over which a ray fades along itself; none without length.
                             const double rayLength = r * cs * 0.2;
                             const float invLength = rayLength > 0 ? float(1 / rayLength) : 0.f;
                             // Exponent beyond which a ray adds less than 1e-5: skipped without exp.
                             const float rayCut = rayLength > 0 && rayAmp > 1e-5f ? std::log(rayAmp / 1e-5f) : -1.f;
                             const float red = float(col.red), green = float(col.green), blue = float(col.blue);
                             return kernels::rowGenerator(Rect::infinite(), [=](int y, int x0, int n, float *o) {
                                 const float dy = float(y + 0.5 - c.Y());
                                 for (int i = 0; i < n; ++i, o += 4) {
                                     const float dx = float(x0 + i + 0.5 - c.X());
                                     // A bright core with a glow, plus two crossed rays.
                                     float glow = 1.f / (1.f + (dx * dx + dy * dy) * invR2 * 4) - 0.02f;
                                     const float u = std::abs(dx * cosA + dy * sinA), w = std::abs(-dx * sinA + dy * cosA);
                                     const float eu = w * invCw + u * invLength, ew = u * invCw + w * invLength;
                                     if (eu < rayCut) glow += rayAmp * std::exp(-eu) / (1 + epsF * u);
                                     if (ew < rayCut) glow += rayAmp * std::exp(-ew) / (1 + epsF * w);
                                     const float alpha = clamp01(glow);
                                     o[0] = red * alpha; o[1] = green * alpha; o[2] = blue * alpha; o[3] = alpha;
                                 }
                             });
                         }));

    out.push_back(filter("CISunbeamsGenerator", "Sunbeams", gen,
                         {position("inputCenter", {150, 150}), color("inputColor", {1, 0.5, 0, 1}),
                          distance("inputSunRadius", 40, {0, 1000, 0, 800}), scalar("inputMaxStriationRadius", 2.58, {0, 10, 0, 10}),
                          scalar("inputStriationStrength", 0.5, {0, 3, 0, 1}), scalar("inputStriationContrast", 1.375, {0, 5, 0, 5}),
                          time("inputTime", 0.0)},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const Color col = v.color("inputColor");
                             const double sun = std::max(1e-3, v.number("inputSunRadius")), maxR = v.number("inputMaxStriationRadius"),
                                          strength = v.number("inputStriationStrength"), contrast = v.number("inputStriationContrast"),
                                          t = v.number("inputTime");
                             const Turn phase1 = turnOf(t * 6.283), phase2 = turnOf(-t * 3.1);
                             const float sunF = float(sun), maxRF = float(maxR), strengthF = float(strength), contrastF = float(contrast);
                             const float red = float(col.red), green = float(col.green), blue = float(col.blue);
                             // Beyond the longest reach the light falls below 1e-4 (exp(-9.3)); it is
                             // left out, so that only the disc around the sun costs anything.
                             const double longest = sun * (1 + std::max(0.0, maxR)) * 0.5;
                             const double cut = sun + longest * 9.3;
                             return discGenerator(c, cut, [=](float *p, float dx, float dy) {
                                 const float d = std::sqrt(dx * dx + dy * dy);
                                 float a = 1;
                                 if (d >= sunF) {
                                     // Rays: sin(23 th + phase1) * sin(37 th + phase2), th the angle of (dx, dy).
                                     const Turn z{dx / d, dy / d}, z2 = z * z, z4 = z2 * z2, z8 = z4 * z4, z16 = z8 * z8, z32 = z16 * z16;
                                     const Turn s23 = z16 * z4 * z2 * z * phase1, s37 = z32 * z4 * z * phase2;
                                     const float rays = std::max(0.f, 0.5f + 0.5f * s23.s * s37.s);
                                     const float reach = sunF * (1 + maxRF * std::pow(rays, contrastF));
                                     a = clamp01(std::exp(-(d - sunF) / (reach * 0.5f)) * (1 - strengthF + strengthF * rays));
                                 }
                                 p[0] = red * a; p[1] = green * a; p[2] = blue * a; p[3] = a;
                             });
                         }));

    out.push_back(filter("CILenticularHaloGenerator", "Lenticular Halo", gen,
                         {position("inputCenter", {150, 150}), color("inputColor", {1, 0.9, 0.8, 1}),
                          distance("inputHaloRadius", 70, {0, 1000, 0, 1000}), distance("inputHaloWidth", 87, {0, 300, 0, 300}),
                          scalar("inputHaloOverlap", 0.77, {0, 1, 0, 1}), scalar("inputStriationStrength", 0.5, {0, 3, 0, 3}),
                          scalar("inputStriationContrast", 1, {0, 5, 0, 5}), time("inputTime", 0.0)},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const Color col = v.color("inputColor");
                             const double R = v.number("inputHaloRadius"), W = std::max(1e-3, v.number("inputHaloWidth")),
                                          overlap = v.number("inputHaloOverlap"), strength = v.number("inputStriationStrength"),
                                          contrast = v.number("inputStriationContrast"), t = v.number("inputTime");
                             const Turn phase = turnOf(t * 6.283);
                             const float half = float(W / 2), middle = float(R + W / 2), strengthF = float(strength), contrastF = float(contrast);
                             const float colour[3] = {float(col.red), float(col.green), float(col.blue)};
                             float shift[3];
                             for (int k = 0; k < 3; ++k) shift[k] = float((k - 1) * W * (1 - overlap) * 0.3);
                             // Three rings slightly apart in size give the rainbow edge; outside the
                             // widest of them nothing is drawn.
                             const double spread = std::abs(W * (1 - overlap) * 0.3);
                             const float inner = float(R - spread), outer = float(R + W + spread);
                             return discGenerator(c, outer, [=](float *p, float dx, float dy) {
                                 const float d = std::sqrt(dx * dx + dy * dy);
                                 if (!(d > inner && d < outer)) { p[0] = p[1] = p[2] = p[3] = 0; return; }
                                 // Striations: sin(40 th + phase), th the angle of (dx, dy).
                                 const Turn z{d > 0 ? dx / d : 1.f, d > 0 ? dy / d : 0.f}, z2 = z * z, z4 = z2 * z2, z8 = z4 * z4;
                                 const Turn z32 = z8 * z8 * z8 * z8, s40 = z32 * z8 * phase;
                                 const float wave = std::max(0.f, 0.5f + 0.5f * s40.s);
                                 const float striation = 1 - strengthF + strengthF * std::pow(wave, contrastF);
                                 float rgb[3];
                                 for (int k = 0; k < 3; ++k) rgb[k] = std::max(0.f, 1 - std::abs(d - middle - shift[k]) / half) * striation * 0.6f;
                                 const float a = clamp01(std::max({rgb[0], rgb[1], rgb[2]}));
                                 for (int k = 0; k < 3; ++k) p[k] = std::min(a, rgb[k] * colour[k]);
                                 p[3] = a;
                             });
                         }));

    out.push_back(filter("CIRoundedRectangleGenerator", "Rounded Rectangle", gen,
                         {rectangle("inputExtent", {0, 0, 100, 100}), distance("inputRadius", 10, {0, 1000, 0, 100}),
                          color("inputColor", {1, 1, 1, 1})},
                         [](const FilterValues &v) {
                             const Vector e = v.vector("inputExtent");
                             const Rect r(e.X(), e.Y(), std::max(0.0, e.Z()), std::max(0.0, e.W()));
                             const double rad = std::min({v.number("inputRadius"), r.width() / 2, r.height() / 2});
                             float c[4];
                             premultiplied(v.color("inputColor"), c);
                             return kernels::generator(r, [=](double x, double y, float *o) {
                                 // Distance outside the rectangle shrunk by the radius, with one pixel of
                                 // smoothing at the edge.
                                 const double qx = std::max(std::abs(x - (r.x() + r.width() / 2)) - (r.width() / 2 - rad), 0.0);
                                 const double qy = std::max(std::abs(y - (r.y() + r.height() / 2)) - (r.height() / 2 - rad), 0.0);
                                 const float cover = static_cast<float>(std::clamp(rad + 0.5 - fastHypot(qx, qy), 0.0, 1.0));
                                 for (int k = 0; k < 4; ++k) o[k] = c[k] * cover;
                             });
                         }));
}

} // namespace imaging::catalogue
