// Halftone screens: the picture's tone turned into dots or lines of ink on white.
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <mutex>
#include <tuple>
#include <utility>
#include <vector>

#include "imaging/catalogue.h"
#include "imaging/declare.h"
#include "imaging/screencoverage.h"

namespace imaging::catalogue {

using namespace declare;

namespace {

// Screens whose period is at least this many pixels are evaluated at each pixel's centre (a
// lookup table fine enough for them would be large). Finer ones show each pixel's mean coverage
// (ScreenCoverage), and below kWholeCellsPixels a pixel spans whole cells and shows a cell's mean.
constexpr double kPointSampledPixels = 8;
constexpr double kWholeCellsPixels = 0.5;

// Softness of a screen's edge, in screen units, for a sharpness in 0..1.
float edgeSoftness(double sharpness)
{
    return static_cast<float>(std::max(0.02, (1.0 - sharpness) * 0.5));
}

// Coverage of ink at a point whose screen value is `screen` (0 at the centre of a dot or line, 1
// furthest away) for a tone needing `ink` (0 none, 1 full): a threshold with a soft edge.
float inkCoverage(float screen, float ink, float soft)
{
    const float t = std::clamp((screen - ink + soft) / (2 * soft), 0.f, 1.f);
    return 1 - t * t * (3 - 2 * t);
}

// x - floor(x) without a library call; exact enough for the cell counts of a picture.
inline float fract(float x)
{
    const float t = x - static_cast<float>(static_cast<int>(x));
    return t < 0 ? t + 1 : t;
}

// Distance to the middle of a period, 0 there and 1 at its ends: the profile of a line.
inline float lineProfile(float t)
{
    return std::abs(fract(t) - 0.5f) * 2;
}

// 0 at a dot's centre, 1 at its cell's corner.
inline float dotProfile(float u, float v)
{
    const float a = fract(u) - 0.5f, b = fract(v) - 0.5f;
    return std::sqrt((a * a + b * b) * 2);
}

// Cell coordinates (u, v) of the plane, turned by `angle` about `centre`, in cells of `width`
// pixels.
struct Lattice
{
    double cx, cy, cs, sn, w;
    Lattice(const Vector &c, double angle, double width)
        : cx(c.X()), cy(c.Y()), cs(std::cos(angle)), sn(std::sin(angle)), w(std::max(1e-3, width)) {}
    // (u, v) of the centre of pixel (x, y), reduced to 0..1 so that float keeps its precision
    // along a row.
    void cellOf(int x, int y, float &u, float &v) const
    {
        const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
        const double fu = (dx * cs + dy * sn) / w, fv = (-dx * sn + dy * cs) / w;
        u = static_cast<float>(fu - std::floor(fu));
        v = static_cast<float>(fv - std::floor(fv));
    }
    // Change of (u, v) by an offset (ox, oy) in pixels.
    std::pair<float, float> step(double ox, double oy) const
    {
        return {static_cast<float>((ox * cs + oy * sn) / w), static_cast<float>((-ox * sn + oy * cs) / w)};
    }
};

using Offsets = std::vector<std::pair<float, float>>;

// Sample offsets spread evenly over a square of side 1 centred on 0: a Fibonacci lattice of about
// `approx` points (89 to 233). Unlike a grid its points fall at as many different places along any
// line across the square as there are points, so an edge parallel to the pixel's sides is not
// averaged from a few rows of samples only.
Offsets squareSamples(int approx)
{
    int n = 89, step = 55;
    if (approx > 120) n = 144, step = 89;
    if (approx > 190) n = 233, step = 144;
    Offsets out;
    for (int i = 0; i < n; ++i)
        out.emplace_back(static_cast<float>((i + 0.5) / n - 0.5), static_cast<float>(((i * step) % n + 0.5) / n - 0.5));
    return out;
}

// Samples per pixel for a period of `pixels`: enough to follow the pattern across the pixel.
int samplesIn(double pixels)
{
    const int across = std::clamp(static_cast<int>(std::ceil(8 / pixels)), 8, 16);
    return across * across;
}

// Ink levels tabulated for a period of `pixels`. A pixel over a fine screen spans much of its
// range of values, so its coverage changes gently with the ink and fewer levels do (keeping the
// tables small enough to stay in cache); over a wide screen with a hard edge it changes abruptly.
int inkLevelsFor(double pixels)
{
    return pixels < 4 ? 17 : 33;
}

// Lookup steps per period for a period of `pixels`: about `perPixel` a pixel.
int stepsAcross(double pixels, int perPixel = 8)
{
    return std::clamp(static_cast<int>(std::ceil(perPixel * pixels)), perPixel, 64);
}

// Per-pixel coverage of a screen given by `profile(u, v)` on a lattice, or none when its cells
// are wide enough to be evaluated at pixel centres. `twoD`: whether the profile depends on u.
template<typename Profile>
std::shared_ptr<const ScreenCoverage> latticeCoverage(const Lattice &l, float soft, bool twoD, int perPixel, Profile profile)
{
    if (l.w >= kPointSampledPixels) return nullptr;
    if (l.w < kWholeCellsPixels) {
        const Offsets cell = squareSamples(233);
        return std::make_shared<ScreenCoverage>(1, 1, inkLevelsFor(l.w), static_cast<int>(cell.size()), soft, [&](float, float, float *s) {
            for (const auto &[ou, ov] : cell) *s++ = profile(ou, ov);
        });
    }
    const int steps = stepsAcross(l.w, perPixel);
    Offsets offsets;
    for (const auto &[ox, oy] : squareSamples(samplesIn(l.w))) offsets.push_back(l.step(ox, oy));
    return std::make_shared<ScreenCoverage>(twoD ? steps : 1, steps, inkLevelsFor(l.w), static_cast<int>(offsets.size()), soft,
                                            [&](float a, float b, float *s) {
                                                for (const auto &[du, dv] : offsets) *s++ = profile(a + du, b + dv);
                                            });
}

// A coverage table made the first time a pixel needs it: a filter is built more often than it
// renders (the preview builds it again at its own scale), and only the built-and-rendered one pays.
class LazyCoverage
{
public:
    explicit LazyCoverage(std::function<std::shared_ptr<const ScreenCoverage>()> make) : m_make(std::move(make)) {}
    const ScreenCoverage *get() const
    {
        std::call_once(m_once, [this] { m_table = m_make(); });
        return m_table.get();
    }

private:
    mutable std::once_flag m_once;
    mutable std::shared_ptr<const ScreenCoverage> m_table;
    std::function<std::shared_ptr<const ScreenCoverage>()> m_make;
};

// A screen on a lattice walked along one row of pixels: coverage of pixel x0 + i for an ink.
template<typename Profile>
struct LatticeRow
{
    float u0, v0, du, dv, soft;
    const ScreenCoverage *table;
    Profile profile;
    [[gnu::always_inline]] float operator()(int i, float ink) const
    {
        const float u = fract(u0 + static_cast<float>(i) * du), v = fract(v0 + static_cast<float>(i) * dv);
        return table ? table->at(ink, u, v) : inkCoverage(profile(u, v), ink, soft);
    }
    // The same from the nearest tabulated position, for screens tabulated with more steps.
    [[gnu::always_inline]] float nearest(int i, float ink) const
    {
        const float u = fract(u0 + static_cast<float>(i) * du), v = fract(v0 + static_cast<float>(i) * dv);
        return table ? table->nearest(ink, u, v) : inkCoverage(profile(u, v), ink, soft);
    }
};

// A screen on a lattice: gives the walker of each row.
template<typename Profile>
struct LatticeScreen
{
    Lattice lattice;
    float soft;
    std::shared_ptr<const LazyCoverage> table;
    Profile profile;
    // `perPixel`: lookup steps per pixel of the period.
    LatticeScreen(const Lattice &l, double sharpness, bool twoD, Profile p, int perPixel = 8)
        : lattice(l), soft(edgeSoftness(sharpness)),
          table(std::make_shared<LazyCoverage>([l, s = soft, twoD, perPixel, p] { return latticeCoverage(l, s, twoD, perPixel, p); })),
          profile(p) {}
    LatticeRow<Profile> row(int x0, int y) const
    {
        LatticeRow<Profile> r{0, 0, 0, 0, soft, table->get(), profile};
        lattice.cellOf(x0, y, r.u0, r.v0);
        std::tie(r.du, r.dv) = lattice.step(1, 0);
        return r;
    }
};

// Concentric rings about a centre, `width` pixels apart. Where they are finer than a few pixels
// each pixel shows its mean coverage, looked up by the distance within a ring and by the
// direction from the centre (which turns the pixel's square relative to the rings).
struct RingScreen
{
    float cx, cy, w, soft;
    std::shared_ptr<const LazyCoverage> table;
    RingScreen(const Vector &c, double width, double sharpness)
        : cx(static_cast<float>(c.X())), cy(static_cast<float>(c.Y())), w(static_cast<float>(std::max(1e-3, width))),
          soft(edgeSoftness(sharpness)), table(std::make_shared<LazyCoverage>([w = w, soft = soft] { return coverage(w, soft); }))
    {
    }
    static std::shared_ptr<const ScreenCoverage> coverage(float w, float soft)
    {
        if (w >= kPointSampledPixels) return nullptr;
        if (w < kWholeCellsPixels) {
            const int m = 233;
            return std::make_shared<ScreenCoverage>(1, 1, inkLevelsFor(w), m, soft, [&](float, float, float *s) {
                for (int i = 0; i < m; ++i) s[i] = lineProfile((i + 0.5f) / m);
            });
        }
        const Offsets offsets = squareSamples(samplesIn(w));
        // a: tangent of the direction folded into 0..45 degrees; b: position within a ring.
        return std::make_shared<ScreenCoverage>(8, stepsAcross(w), inkLevelsFor(w), static_cast<int>(offsets.size()), soft,
                                                [&](float a, float b, float *s) {
                                                    const double angle = std::atan(a), c = std::cos(angle) / w, sn = std::sin(angle) / w;
                                                    for (const auto &[ox, oy] : offsets) *s++ = lineProfile(b + static_cast<float>(ox * c + oy * sn));
                                                });
    }
    float operator()(const ScreenCoverage *cells, float x, float y, float ink) const
    {
        const float dx = x - cx, dy = y - cy;
        const float r = std::sqrt(dx * dx + dy * dy) / w;
        if (!cells) return inkCoverage(lineProfile(r), ink, soft);
        const float ax = std::abs(dx), ay = std::abs(dy), hi = std::max(ax, ay);
        if (hi < 2) return nearCentre(dx, dy, ink);
        return cells->at(ink, std::min(ax, ay) / hi, fract(r));
    }
    // Next to the centre the rings curve too much within a pixel to be taken as straight: the
    // few pixels there average the screen over 89 points of the pixel.
    float nearCentre(float dx, float dy, float ink) const
    {
        static const Offsets offsets = squareSamples(89);
        float sum = 0;
        for (const auto &[ox, oy] : offsets) {
            const float x = dx + ox, y = dy + oy;
            sum += inkCoverage(lineProfile(std::sqrt(x * x + y * y) / w), ink, soft);
        }
        return sum / static_cast<float>(offsets.size());
    }
};

// Applies a screen to the luminance: ink is black, paper white, alpha kept. `rows(x0, y)` gives
// the coverage of pixel x0 + i of a row for an ink level.
template<typename Rows>
Image monoScreen(const Image &in, Rows rows)
{
    return kernels::color(in, [rows = std::move(rows)](float *p, int n, int x0, int y) {
        const auto cover = rows(x0, y);
        for (int i = 0; i < n; ++i, p += 4) {
            const float a = p[3];
            if (a <= 0) continue;
            const float l = std::clamp(luminance(p[0], p[1], p[2]) / a, 0.f, 1.f);
            const float paper = 1.f - cover(i, 1.f - l);
            p[0] = p[1] = p[2] = paper * a;
        }
    });
}

template<typename Profile>
Image latticeScreen(const FilterValues &v, bool twoD, Profile profile)
{
    const LatticeScreen<Profile> screen(Lattice(v.vector("inputCenter"), v.number("inputAngle"), v.number("inputWidth")),
                                        v.number("inputSharpness"), twoD, profile);
    return monoScreen(v.image("inputImage"), [screen](int x0, int y) { return screen.row(x0, y); });
}

std::vector<InputDescription> screenInputs(bool withAngle)
{
    std::vector<InputDescription> in{image(), position("inputCenter", {150, 150})};
    if (withAngle) in.push_back(angle("inputAngle", 0.0));
    in.push_back(distance("inputWidth", 6, {1, 1000, 2, 50}));
    in.push_back(scalar("inputSharpness", 0.7, {0, 1, 0, 1}));
    return in;
}

} // namespace

void registerHalftone(std::vector<FilterDescription> &out)
{
    const QStringList cats{kCICategoryHalftoneEffect, kCICategoryVideo};

    out.push_back(filter("CIDotScreen", "Dot Screen", cats, screenInputs(true), [](const FilterValues &v) {
        return latticeScreen(v, true, [](float u, float w) { return dotProfile(u, w); });
    }));

    out.push_back(filter("CILineScreen", "Line Screen", cats, screenInputs(true), [](const FilterValues &v) {
        return latticeScreen(v, false, [](float, float w) { return lineProfile(w); });
    }));

    out.push_back(filter("CICircularScreen", "Circular Screen", cats, screenInputs(false), [](const FilterValues &v) {
        const RingScreen rings(v.vector("inputCenter"), v.number("inputWidth"), v.number("inputSharpness"));
        return monoScreen(v.image("inputImage"), [rings](int x0, int y) {
            return [&rings, table = rings.table->get(), x0, y](int i, float ink) { return rings(table, x0 + i + 0.5f, y + 0.5f, ink); };
        });
    }));

    out.push_back(filter("CIHatchedScreen", "Hatched Screen", cats, screenInputs(true), [](const FilterValues &v) {
        // Two crossed line sets: the second only shows in the darker half of the tones.
        return latticeScreen(v, true, [](float u, float w) { return std::min(lineProfile(w), 0.5f + 0.5f * lineProfile(u)); });
    }));

    out.push_back(filter("CICMYKHalftone", "CMYK Halftone", cats,
                         {image(), position("inputCenter", {150, 150}), distance("inputWidth", 6, {-2, 1000, 2, 100}),
                          angle("inputAngle", 0.0), scalar("inputSharpness", 0.7, {0, 1, 0, 1}),
                          scalar("inputGCR", 1, {0, 1, 0, 1}), scalar("inputUCR", 0.5, {0, 1, 0, 1})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double w = std::max(1.0, v.number("inputWidth")), a = v.number("inputAngle"),
                                          sharp = v.number("inputSharpness");
                             const float gcr = static_cast<float>(v.number("inputGCR")), ucr = static_cast<float>(v.number("inputUCR"));
                             const auto dot = [](float u, float w) { return dotProfile(u, w); };
                             using Dots = LatticeScreen<decltype(dot)>;
                             // The usual screen angles: cyan 15, magenta 75, yellow 0, black 45 degrees. Four
                             // lookups a pixel: each screen is tabulated finely enough to be read at the
                             // nearest position.
                             const auto dots = [&](double turn) { return Dots(Lattice(c, a + turn, w), sharp, true, dot, 12); };
                             const auto screens = std::make_shared<const std::array<Dots, 4>>(
                                 std::array<Dots, 4>{dots(M_PI / 12), dots(5 * M_PI / 12), dots(0), dots(M_PI / 4)});
                             return kernels::color(v.image("inputImage"), [=](float *p, int n, int x0, int y) {
                                 const auto &s = *screens;
                                 const auto sc = s[0].row(x0, y), sm = s[1].row(x0, y), sy = s[2].row(x0, y), sk = s[3].row(x0, y);
                                 for (int i = 0; i < n; ++i, p += 4) {
                                     const float al = p[3];
                                     if (al <= 0) continue;
                                     const float inv = 1 / al;
                                     float C = 1 - p[0] * inv, M = 1 - p[1] * inv, Y = 1 - p[2] * inv;
                                     const float K = std::min({C, M, Y}) * gcr;
                                     C -= K * ucr; M -= K * ucr; Y -= K * ucr;
                                     const float ic = sc.nearest(i, std::sqrt(std::max(0.f, C))), im = sm.nearest(i, std::sqrt(std::max(0.f, M)));
                                     const float iy = sy.nearest(i, std::sqrt(std::max(0.f, Y))), ik = sk.nearest(i, std::sqrt(std::max(0.f, K)));
                                     const float paper = (1 - ik) * al;
                                     p[0] = (1 - ic) * paper;
                                     p[1] = (1 - im) * paper;
                                     p[2] = (1 - iy) * paper;
                                 }
                             });
                         }));
}

} // namespace imaging::catalogue
