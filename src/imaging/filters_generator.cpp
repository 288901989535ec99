// Generators: pictures without an input image, usually of infinite extent.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "imaging/catalogue.h"
#include "imaging/declare.h"

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

std::uint32_t hash(std::int64_t x, std::int64_t y, std::uint32_t salt)
{
    std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(y) * 0xC2B2AE3D27D4EB4Full ^ salt;
    h ^= h >> 31; h *= 0xBF58476D1CE4E5B9ull; h ^= h >> 29;
    return static_cast<std::uint32_t>(h);
}

// Stripes and squares change colour over (1 - sharpness) of their width: at full sharpness the
// edge is the finest detail there is, and a preview that point-samples it shows jagged, crawling
// edges where the result has smooth ones.
FilterDescription hardEdged(FilterDescription d)
{
    d.finestDetail = [](const FilterValues &v) {
        return std::max(1.0, v.number("inputWidth") * (1.0 - v.number("inputSharpness")));
    };
    return d;
}

} // namespace

void registerGenerator(std::vector<FilterDescription> &out)
{
    const QStringList gen{kCICategoryGenerator, kCICategoryVideo};

    out.push_back(hardEdged(filter("CICheckerboardGenerator", "Checkerboard", gen,
                         {position("inputCenter", {150, 150}), color("inputColor0", {1, 1, 1, 1}), color("inputColor1", {0, 0, 0, 1}),
                          distance("inputWidth", 80, {0, 10000, 0, 800}), scalar("inputSharpness", 1.0, {0, 1, 0, 1})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double w = std::max(1e-3, v.number("inputWidth")), sharp = v.number("inputSharpness");
                             float c0[4], c1[4];
                             premultiplied(v.color("inputColor0"), c0);
                             premultiplied(v.color("inputColor1"), c1);
                             return kernels::generator(Rect::infinite(), [=](double x, double y, float *o) {
                                 // The square whose bottom-left corner is the centre has colour 0;
                                 // the colours alternate in both directions.
                                 const float wx = stripeWeight((x - c.X()) / w, sharp), wy = stripeWeight((y - c.Y()) / w, sharp);
                                 const float t = wx + wy - 2 * wx * wy; // xor of the two parities
                                 mix(c0, c1, t, o);
                             });
                         })));

    out.push_back(hardEdged(filter("CIStripesGenerator", "Stripes", gen,
                         {position("inputCenter", {150, 150}), color("inputColor0", {1, 1, 1, 1}), color("inputColor1", {0, 0, 0, 1}),
                          distance("inputWidth", 80, {0, 10000, 0, 800}), scalar("inputSharpness", 1.0, {0, 1, 0, 1})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double w = std::max(1e-3, v.number("inputWidth")), sharp = v.number("inputSharpness");
                             float c0[4], c1[4];
                             premultiplied(v.color("inputColor0"), c0);
                             premultiplied(v.color("inputColor1"), c1);
                             return kernels::generator(Rect::infinite(), [=](double x, double, float *o) {
                                 mix(c0, c1, stripeWeight((x - c.X()) / w, sharp), o);
                             });
                         })));

    out.push_back(filter("CIConstantColorGenerator", "Constant Color", gen, {color("inputColor", {1, 0, 0, 1})},
                         [](const FilterValues &v) {
                             float c[4];
                             premultiplied(v.color("inputColor"), c);
                             return kernels::generator(Rect::infinite(), [=](double, double, float *o) { std::copy(c, c + 4, o); });
                         }));

    // A new value every pixel: the finest pattern there is.
    FilterDescription random = filter("CIRandomGenerator", "Random Generator", gen, {}, [](const FilterValues &) {
        return kernels::generator(Rect::infinite(), [](double x, double y, float *o) {
            const std::uint32_t h = hash(static_cast<std::int64_t>(std::floor(x)), static_cast<std::int64_t>(std::floor(y)), 17);
            const std::uint32_t h2 = hash(static_cast<std::int64_t>(std::floor(x)), static_cast<std::int64_t>(std::floor(y)), 91);
            o[0] = (h & 0xff) / 255.f; o[1] = ((h >> 8) & 0xff) / 255.f; o[2] = ((h >> 16) & 0xff) / 255.f;
            o[3] = ((h2 >> 8) & 0xff) / 255.f;
            // Colour is premultiplied by the random alpha.
            for (int c = 0; c < 3; ++c) o[c] *= o[3];
        });
    });
    random.finestDetail = [](const FilterValues &) { return 1.0; };
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
                             const double cosA = std::cos(ca), sinA = std::sin(ca);
                             return kernels::generator(Rect::infinite(), [=](double x, double y, float *o) {
                                 const double dx = x - c.X(), dy = y - c.Y(), d = fastHypot(dx, dy) / r;
                                 // A bright core with a glow, plus two crossed rays.
                                 double glow = 1.0 / (1.0 + d * d * 4) - 0.02;
                                 const double u = dx * cosA + dy * sinA, w = -dx * sinA + dy * cosA;
                                 for (double along : {u, w}) {
                                     const double across = along == u ? w : u;
                                     glow += co * 50 * std::exp(-std::abs(across) / cw) * std::exp(-std::abs(along) / (r * cs * 0.2)) /
                                             (1 + eps * std::abs(along));
                                 }
                                 const float a = static_cast<float>(std::clamp(glow, 0.0, 1.0));
                                 o[0] = float(col.red) * a; o[1] = float(col.green) * a; o[2] = float(col.blue) * a; o[3] = a;
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
                             return kernels::generator(Rect::infinite(), [=](double x, double y, float *o) {
                                 const double dx = x - c.X(), dy = y - c.Y(), d = fastHypot(dx, dy);
                                 const double th = std::atan2(dy, dx);
                                 const double rays = 0.5 + 0.5 * std::sin(th * 23 + t * 6.283) * std::sin(th * 37 - t * 3.1);
                                 const double reach = sun * (1 + maxR * std::pow(rays, contrast));
                                 double a = d < sun ? 1.0 : std::exp(-(d - sun) / (reach * 0.5)) * (1 - strength + strength * rays);
                                 a = std::clamp(a, 0.0, 1.0);
                                 o[0] = float(col.red * a); o[1] = float(col.green * a); o[2] = float(col.blue * a); o[3] = float(a);
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
                             return kernels::generator(Rect::infinite(), [=](double x, double y, float *o) {
                                 const double dx = x - c.X(), dy = y - c.Y(), d = fastHypot(dx, dy);
                                 const double th = std::atan2(dy, dx);
                                 const double ring = std::max(0.0, 1 - std::abs(d - R - W / 2) / (W / 2));
                                 const double striation = 1 - strength + strength * std::pow(0.5 + 0.5 * std::sin(th * 40 + t * 6.283), contrast);
                                 // Three rings slightly apart in size give the rainbow edge.
                                 double rgb[3];
                                 for (int k = 0; k < 3; ++k) {
                                     const double shift = (k - 1) * W * (1 - overlap) * 0.3;
                                     rgb[k] = std::max(0.0, 1 - std::abs(d - R - W / 2 - shift) / (W / 2)) * striation * 0.6;
                                 }
                                 const double a = std::clamp(std::max({rgb[0], rgb[1], rgb[2]}) + 0 * ring, 0.0, 1.0);
                                 o[0] = float(std::min(a, rgb[0] * col.red)); o[1] = float(std::min(a, rgb[1] * col.green));
                                 o[2] = float(std::min(a, rgb[2] * col.blue)); o[3] = float(a);
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
