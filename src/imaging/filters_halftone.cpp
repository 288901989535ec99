// Halftone screens: the picture's tone turned into dots or lines of ink on white.
#include <algorithm>
#include <cmath>

#include "imaging/catalogue.h"
#include "imaging/declare.h"

namespace imaging::catalogue {

using namespace declare;

namespace {

// Coverage of ink at a point whose screen function is `screen` (0 at the centre of a dot or
// line, 1 furthest away) for a tone needing `ink` (0 none, 1 full): a threshold with an edge
// softened by (1 - sharpness).
float inkCoverage(double screen, double ink, double sharpness)
{
    const double soft = std::max(0.02, (1.0 - sharpness) * 0.5);
    return static_cast<float>(1.0 - smoothstep(ink - soft, ink + soft, screen));
}

// Screen helper: local coordinates in cells of `width` turned by `angle` about `centre`.
struct Screen
{
    double cx, cy, cs, sn, w;
    Screen(const Vector &c, double angle, double width)
        : cx(c.X()), cy(c.Y()), cs(std::cos(angle)), sn(std::sin(angle)), w(std::max(1e-3, width)) {}
    void local(double x, double y, double &u, double &v) const
    {
        const double dx = x - cx, dy = y - cy;
        u = (dx * cs + dy * sn) / w;
        v = (-dx * sn + dy * cs) / w;
    }
};

double dotScreen(const Screen &s, double x, double y)
{
    double u, v;
    s.local(x, y, u, v);
    u -= std::floor(u) + 0.5;
    v -= std::floor(v) + 0.5;
    return fastHypot(u, v) / std::sqrt(0.5); // 0 at the dot centre, 1 at the cell corner
}

// Applies a screen to the luminance: ink is black, paper white, alpha kept. The screen is a
// template parameter so that it is inlined into the per-pixel loop.
template<typename ScreenFunction>
Image monoScreen(const Image &in, double sharpness, ScreenFunction screen)
{
    return kernels::color(in, [=](float *p, int n, int x0, int y) {
        for (int i = 0; i < n; ++i, p += 4) {
            const float a = p[3];
            if (a <= 0) continue;
            const double l = std::clamp(luminance(p[0], p[1], p[2]) / a, 0.f, 1.f);
            const float paper = 1.f - inkCoverage(screen(x0 + i + 0.5, y + 0.5), 1.0 - l, sharpness);
            p[0] = p[1] = p[2] = paper * a;
        }
    });
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

    out.push_back(patterned(filter("CIDotScreen", "Dot Screen", cats, screenInputs(true), [](const FilterValues &v) {
        const Screen s(v.vector("inputCenter"), v.number("inputAngle"), v.number("inputWidth"));
        return monoScreen(v.image("inputImage"), v.number("inputSharpness"), [s](double x, double y) { return dotScreen(s, x, y); });
    }), "inputWidth"));

    out.push_back(patterned(filter("CILineScreen", "Line Screen", cats, screenInputs(true), [](const FilterValues &v) {
        const Screen s(v.vector("inputCenter"), v.number("inputAngle"), v.number("inputWidth"));
        return monoScreen(v.image("inputImage"), v.number("inputSharpness"), [s](double x, double y) {
            double u, w;
            s.local(x, y, u, w);
            return std::abs(w - std::floor(w) - 0.5) * 2;
        });
    }), "inputWidth"));

    out.push_back(patterned(filter("CICircularScreen", "Circular Screen", cats, screenInputs(false), [](const FilterValues &v) {
        const Vector c = v.vector("inputCenter");
        const double w = std::max(1e-3, v.number("inputWidth"));
        return monoScreen(v.image("inputImage"), v.number("inputSharpness"), [=](double x, double y) {
            const double r = fastHypot(x - c.X(), y - c.Y()) / w;
            return std::abs(r - std::floor(r) - 0.5) * 2;
        });
    }), "inputWidth"));

    out.push_back(patterned(filter("CIHatchedScreen", "Hatched Screen", cats, screenInputs(true), [](const FilterValues &v) {
        const Screen s(v.vector("inputCenter"), v.number("inputAngle"), v.number("inputWidth"));
        return monoScreen(v.image("inputImage"), v.number("inputSharpness"), [s](double x, double y) {
            // Two crossed line sets: the second only shows in the darker half of the tones.
            double u, w;
            s.local(x, y, u, w);
            const double a = std::abs(w - std::floor(w) - 0.5) * 2;
            const double b = std::abs(u - std::floor(u) - 0.5) * 2;
            return std::min(a, 0.5 + 0.5 * b);
        });
    }), "inputWidth"));

    out.push_back(patterned(filter("CICMYKHalftone", "CMYK Halftone", cats,
                         {image(), position("inputCenter", {150, 150}), distance("inputWidth", 6, {-2, 1000, 2, 100}),
                          angle("inputAngle", 0.0), scalar("inputSharpness", 0.7, {0, 1, 0, 1}),
                          scalar("inputGCR", 1, {0, 1, 0, 1}), scalar("inputUCR", 0.5, {0, 1, 0, 1})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double w = std::max(1.0, v.number("inputWidth")), a = v.number("inputAngle"),
                                          sharp = v.number("inputSharpness"), gcr = v.number("inputGCR"), ucr = v.number("inputUCR");
                             // The usual screen angles: cyan 15, magenta 75, yellow 0, black 45 degrees.
                             const Screen sc(c, a + M_PI / 12, w), sm(c, a + 5 * M_PI / 12, w), sy(c, a, w), sk(c, a + M_PI / 4, w);
                             return kernels::color(v.image("inputImage"), [=](float *p, int n, int x0, int yy) {
                                 for (int i = 0; i < n; ++i, p += 4) {
                                     const float al = p[3];
                                     if (al <= 0) continue;
                                     const double r = p[0] / al, g = p[1] / al, b = p[2] / al;
                                     double C = 1 - r, M = 1 - g, Y = 1 - b;
                                     const double K = std::min({C, M, Y}) * gcr;
                                     C -= K * ucr; M -= K * ucr; Y -= K * ucr;
                                     const double x = x0 + i + 0.5, y = yy + 0.5;
                                     const double ic = inkCoverage(dotScreen(sc, x, y), std::sqrt(std::max(0.0, C)), sharp);
                                     const double im = inkCoverage(dotScreen(sm, x, y), std::sqrt(std::max(0.0, M)), sharp);
                                     const double iy = inkCoverage(dotScreen(sy, x, y), std::sqrt(std::max(0.0, Y)), sharp);
                                     const double ik = inkCoverage(dotScreen(sk, x, y), std::sqrt(std::max(0.0, K)), sharp);
                                     p[0] = static_cast<float>((1 - ic) * (1 - ik)) * al;
                                     p[1] = static_cast<float>((1 - im) * (1 - ik)) * al;
                                     p[2] = static_cast<float>((1 - iy) * (1 - ik)) * al;
                                 }
                             });
                         }), "inputWidth"));
}

} // namespace imaging::catalogue
