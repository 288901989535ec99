// Distortions: warps written as inverse maps (output point -> the source point to sample).
#include <algorithm>
#include <cmath>
#include <vector>

#include "imaging/cachenode.h"
#include "imaging/catalogue.h"
#include "imaging/declare.h"
#include "imaging/sampler.h"

namespace imaging::catalogue {

using namespace declare;

namespace {

// Most distortions move pixels smoothly and keep the input's extent.
Image warpSame(const Image &in, kernels::WarpFunction f, kernels::Edge edge = kernels::Edge::Transparent)
{
    return kernels::smoothWarp(in, in.extent(), std::move(f), edge);
}

// Each output point samples the input displaced by the map: by the gradient of the map's
// luminance (glass) or by its red and green around 0.5 (displacement). Points displaced off the
// picture read transparency.
Image displaceBy(const Image &in, const Image &map, double scale, bool gradientOfLuminance)
{
    // A point reads up to `reach` pixels away. Once that passes a tile's size every tile reads
    // most of the picture, so the picture is rendered once into a cache and sampled where it lies;
    // otherwise each tile reads what it can reach, limited to the picture.
    const double reach = std::abs(scale) + 3;
    const Image source = reach > 128 ? CacheNode::wrap(in) : in;
    kernels::General g;
    g.inputs = {source, map};
    g.extent = in.extent();
    // The picture is read through a sampler (in place when it is a bitmap or cached), so the
    // general kernel renders only the map.
    g.roi = [](int i, const Rect &r) { return i == 1 ? r.adjusted(2) : Rect(); };
    g.compute = [=](const std::vector<PixelBuffer> &inputs, PixelBuffer &out) {
        const PixelRect r = out.rect();
        const Sampler src(source, kernels::available(source, r.toRect().adjusted(reach)));
        const PixelBuffer &m = inputs[1];
        // The map's luminance over the tile and a pixel around it, once: the slope at a pixel
        // reads four neighbours.
        const int lw = r.width() + 2;
        std::vector<float> lums;
        if (gradientOfLuminance) {
            lums.resize(static_cast<std::size_t>(lw) * (r.height() + 2));
            for (int y = r.y0 - 1; y <= r.y1; ++y) {
                const float *p = m.pixel(r.x0 - 1, y);
                float *l = lums.data() + static_cast<std::size_t>(y - r.y0 + 1) * lw;
                for (int i = 0; i < lw; ++i, p += 4) l[i] = luminance(p[0], p[1], p[2]);
            }
        }
        auto lum = [&](int x, int y) { return lums[static_cast<std::size_t>(y - r.y0 + 1) * lw + (x - r.x0 + 1)]; };
        for (int y = r.y0; y < r.y1; ++y)
            for (int x = r.x0; x < r.x1; ++x) {
                double dx, dy;
                if (gradientOfLuminance) {
                    dx = 0.5 * (lum(x + 1, y) - lum(x - 1, y)) * scale;
                    dy = 0.5 * (lum(x, y + 1) - lum(x, y - 1)) * scale;
                } else {
                    const float *p = m.pixel(x, y);
                    const float a = p[3] > 0 ? p[3] : 1.f;
                    dx = (p[0] / a - 0.5) * 2 * scale;
                    dy = (p[1] / a - 0.5) * 2 * scale;
                }
                src.sample(x + 0.5 + dx, y + 0.5 + dy, out.pixel(x, y));
            }
    };
    return kernels::general(std::move(g));
}

} // namespace

void registerDistortion(std::vector<FilterDescription> &out)
{
    const QStringList cats{kCICategoryDistortionEffect, kCICategoryVideo};

    out.push_back(filter("CIBumpDistortion", "Bump Distortion", cats,
                         {image(), position("inputCenter", {150, 150}), distance("inputRadius", 300, {0, 10000, 0, 600}),
                          scalar("inputScale", 0.5, {-10, 10, -1, 1}, 0.0)},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double R = std::max(1e-3, v.number("inputRadius")), s = v.number("inputScale");
                             return warpSame(v.image("inputImage"), [=](double x, double y, double &sx, double &sy) {
                                 const double dx = x - c.X(), dy = y - c.Y(), t = fastHypot(dx, dy) / R;
                                 // Inside the radius points are pulled towards the centre (magnified) by
                                 // up to `scale`, fading out smoothly at the rim.
                                 const double k = t < 1 ? 1 - s * (1 - smoothstep(0, 1, t)) : 1.0;
                                 sx = c.X() + dx * k;
                                 sy = c.Y() + dy * k;
                             });
                         }));

    out.push_back(filter("CIBumpDistortionLinear", "Bump Distortion Linear", cats,
                         {image(), position("inputCenter", {300, 300}), distance("inputRadius", 300, {0, 10000, 0, 600}),
                          angle("inputAngle", 0.0), scalar("inputScale", 0.5, {-10, 10, -1, 1}, 0.0)},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double R = std::max(1e-3, v.number("inputRadius")), s = v.number("inputScale"), a = v.number("inputAngle");
                             const double nx = -std::sin(a), ny = std::cos(a); // normal of the bump's line
                             return warpSame(v.image("inputImage"), [=](double x, double y, double &sx, double &sy) {
                                 const double d = (x - c.X()) * nx + (y - c.Y()) * ny, t = std::abs(d) / R;
                                 const double k = t < 1 ? 1 - s * (1 - smoothstep(0, 1, t)) : 1.0;
                                 sx = x - d * nx + d * k * nx;
                                 sy = y - d * ny + d * k * ny;
                             });
                         }));

    out.push_back(filter("CICircleSplashDistortion", "Circle Splash Distortion", cats,
                         {image(), position("inputCenter", {150, 150}), distance("inputRadius", 150, {0, 10000, 0, 1000})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double R = v.number("inputRadius");
                             return warpSame(v.image("inputImage"), [=](double x, double y, double &sx, double &sy) {
                                 const double dx = x - c.X(), dy = y - c.Y(), d = fastHypot(dx, dy);
                                 // Outside the circle every ray repeats the colour at the rim.
                                 const double k = d > R && d > 0 ? R / d : 1.0;
                                 sx = c.X() + dx * k;
                                 sy = c.Y() + dy * k;
                             }, kernels::Edge::Clamp);
                         }));

    out.push_back(filter("CICircularWrap", "Circular Wrap Distortion", cats,
                         {image(), position("inputCenter", {150, 150}), distance("inputRadius", 150, {0, 10000, 0, 600}),
                          angle("inputAngle", 0.0)},
                         [](const FilterValues &v) {
                             const Image in = v.image("inputImage");
                             const Rect e = in.extent();
                             if (e.isEmpty() || e.isInfinite()) return in;
                             const Vector c = v.vector("inputCenter");
                             const double R = std::max(1.0, v.number("inputRadius")), a = v.number("inputAngle");
                             // The image's bottom edge is bent onto the circle and its height runs
                             // outward; the horizontal centre of the image sits at the given angle.
                             const double outer = R + e.height();
                             const Rect bounds(c.X() - outer, c.Y() - outer, 2 * outer, 2 * outer);
                             // The turn that puts the image's middle at the angle, within one turn, so
                             // that a point's angle from it needs at most one turn added or taken away
                             // to lie in [-pi, pi] (a library remainder per pixel cost as much as the
                             // rest of the warp).
                             const double turn = std::remainder(a + M_PI / 2, 2 * M_PI);
                             return kernels::warp(in, bounds, [=](double x, double y, double &sx, double &sy) {
                                 const double dx = x - c.X(), dy = y - c.Y();
                                 double th = std::atan2(dy, dx) - turn;
                                 if (th > M_PI) th -= 2 * M_PI;
                                 else if (th < -M_PI) th += 2 * M_PI;
                                 sx = e.x() + e.width() / 2 - th * R;
                                 sy = e.y() + fastHypot(dx, dy) - R;
                             });
                         }));

    out.push_back(filter("CIGlassDistortion", "Glass Distortion", cats,
                         {image(), texture("inputTexture", "Texture", DefaultImage::Texture), position("inputCenter", {150, 150}),
                          distance("inputScale", 200, {0.001, 10000, 0.001, 500}, 0.0)},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const Image tex = kernels::repeated(v.image("inputTexture"), c.X(), c.Y());
                             return displaceBy(v.image("inputImage"), tex, v.number("inputScale"), true);
                         }));
    // The displacement is the texture's slope per pixel times the amount. A preview at scale s
    // shrinks the texture, so its slope per preview pixel is 1/s times the full one: the amount,
    // already scaled by s as a distance, is scaled by s once more, and the preview moves pixels
    // s times as far as the full render does, as the reduced full render shows them.
    out.back().previewValues = [](QVariantMap &values, double s) {
        const QString key = QStringLiteral("inputScale");
        if (values.contains(key)) values[key] = values.value(key).toDouble() * s;
    };

    out.push_back(filter("CIDisplacementDistortion", "Displacement Distortion", cats,
                         {image(), texture("inputDisplacementImage", "Displacement Image"),
                          distance("inputScale", 50, {0, 10000, 0, 200}, 0.0)},
                         [](const FilterValues &v) {
                             return displaceBy(v.image("inputImage"), kernels::repeated(v.image("inputDisplacementImage"), 0, 0),
                                               v.number("inputScale"), false);
                         }));

    out.push_back(filter("CIHoleDistortion", "Hole Distortion", cats,
                         {image(), position("inputCenter", {150, 150}), distance("inputRadius", 150, {0.01, 10000, 0.01, 1000}, 0.1)},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double R = v.number("inputRadius");
                             const Image in = v.image("inputImage");
                             // Exact per pixel: the hole's rim is a jump.
                             return kernels::warp(in, in.extent(), [=](double x, double y, double &sx, double &sy) {
                                 const double dx = x - c.X(), dy = y - c.Y(), d = fastHypot(dx, dy);
                                 if (d <= R) {
                                     sx = sy = NAN; // the hole is transparent
                                     return;
                                 }
                                 // Pixels are pushed outward: distance d shows what was at
                                 // sqrt(d² - R²), so the whole picture stays visible around the hole.
                                 const double k = std::sqrt(d * d - R * R) / d;
                                 sx = c.X() + dx * k;
                                 sy = c.Y() + dy * k;
                             });
                         }));

    out.push_back(filter("CIPinchDistortion", "Pinch Distortion", cats,
                         {image(), position("inputCenter", {150, 150}), distance("inputRadius", 300, {0, 10000, 0, 1000}),
                          scalar("inputScale", 0.5, {0, 2, 0, 2}, 0.0)},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double R = std::max(1e-3, v.number("inputRadius")), s = v.number("inputScale");
                             const double e = 1.0 / (1.0 + s);
                             return warpSame(v.image("inputImage"), [=](double x, double y, double &sx, double &sy) {
                                 const double dx = x - c.X(), dy = y - c.Y(), t = fastHypot(dx, dy) / R;
                                 // Inside the radius a point shows what was at R t^e (e < 1 reads
                                 // further out): the picture is drawn in towards the centre.
                                 const double k = t < 1 && t > 0 ? std::pow(t, e) / t : 1.0;
                                 sx = c.X() + dx * k;
                                 sy = c.Y() + dy * k;
                             });
                         }));

    out.push_back(filter("CITorusLensDistortion", "Torus Lens Distortion", cats,
                         {image(), position("inputCenter", {150, 150}), distance("inputRadius", 160, {0, 10000, 0, 500}),
                          distance("inputWidth", 80, {0, 10000, 0, 200}), scalar("inputRefraction", 1.7, {0, 5, 0, 5}, 1.0)},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double R = v.number("inputRadius"), W = std::max(1e-3, v.number("inputWidth")),
                                          n = v.number("inputRefraction");
                             return warpSame(v.image("inputImage"), [=](double x, double y, double &sx, double &sy) {
                                 const double dx = x - c.X(), dy = y - c.Y(), d = fastHypot(dx, dy);
                                 const double u = (d - R) / (W / 2); // -1..1 across the ring
                                 double k = 1.0;
                                 if (std::abs(u) < 1 && d > 0) {
                                     // A ring of glass whose cross-section bends rays towards its middle line.
                                     const double shift = (n - 1) * (W / 2) * u * std::sqrt(1 - u * u);
                                     k = (d - shift) / d;
                                 }
                                 sx = c.X() + dx * k;
                                 sy = c.Y() + dy * k;
                             });
                         }));

    out.push_back(filter("CITwirlDistortion", "Twirl Distortion", cats,
                         {image(), position("inputCenter", {150, 150}), distance("inputRadius", 300, {0, 10000, 0, 500}),
                          angle("inputAngle", M_PI, {-12.57, 12.57, -12.57, 12.57})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double R = std::max(1e-3, v.number("inputRadius")), a = v.number("inputAngle");
                             return warpSame(v.image("inputImage"), [=](double x, double y, double &sx, double &sy) {
                                 const double dx = x - c.X(), dy = y - c.Y(), t = fastHypot(dx, dy) / R;
                                 if (t >= 1 || a == 0) {
                                     sx = x;
                                     sy = y;
                                     return;
                                 }
                                 // Rotation by the full angle at the centre, easing to none at the rim.
                                 const double th = a * (1 - t) * (1 - t);
                                 const double cs = std::cos(th), sn = std::sin(th);
                                 sx = c.X() + dx * cs - dy * sn;
                                 sy = c.Y() + dx * sn + dy * cs;
                             });
                         }));

    out.push_back(filter("CIVortexDistortion", "Vortex Distortion", cats,
                         {image(), position("inputCenter", {150, 150}), distance("inputRadius", 300, {0, 10000, 0, 800}),
                          angle("inputAngle", 56.55, {-94.25, 94.25, -94.25, 94.25})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double R = std::max(1e-3, v.number("inputRadius")), a = v.number("inputAngle");
                             return warpSame(v.image("inputImage"), [=](double x, double y, double &sx, double &sy) {
                                 const double dx = x - c.X(), dy = y - c.Y(), t = fastHypot(dx, dy) / R;
                                 // Like a twirl, but the turn falls off with the square of the
                                 // distance everywhere, giving a long swirl.
                                 const double th = t < 1 ? a * 0.1 * (1 - t) * (1 - t) * (1 - t) : 0.0;
                                 const double cs = std::cos(th), sn = std::sin(th);
                                 sx = c.X() + dx * cs - dy * sn;
                                 sy = c.Y() + dx * sn + dy * cs;
                             });
                         }));

    out.push_back(filter("CILightTunnel", "Light Tunnel Distortion", cats,
                         {image(), position("inputCenter", {150, 150}), angle("inputRotation", 0.0),
                          distance("inputRadius", 100, {0, 10000, 0, 500})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double R = std::max(1e-3, v.number("inputRadius")), rot = v.number("inputRotation");
                             return warpSame(v.image("inputImage"), [=](double x, double y, double &sx, double &sy) {
                                 const double dx = x - c.X(), dy = y - c.Y(), d = fastHypot(dx, dy);
                                 if (d <= R) {
                                     sx = x;
                                     sy = y;
                                     return;
                                 }
                                 // Outside the radius, the rim's pixels stream outward in a spiral.
                                 const double th = std::atan2(dy, dx) + rot * std::log(d / R);
                                 sx = c.X() + R * std::cos(th);
                                 sy = c.Y() + R * std::sin(th);
                             }, kernels::Edge::Clamp);
                         }));

    out.push_back(filter("CIGlassLozenge", "Glass Lozenge", cats,
                         {image(), position("inputPoint0", {150, 150}), position("inputPoint1", {350, 150}),
                          distance("inputRadius", 100, {0, 10000, 0, 400}), scalar("inputRefraction", 1.7, {0, 5, 0, 5}, 1.0)},
                         [](const FilterValues &v) {
                             const Vector p0 = v.vector("inputPoint0"), p1 = v.vector("inputPoint1");
                             const double R = std::max(1e-3, v.number("inputRadius")), n = v.number("inputRefraction");
                             return warpSame(v.image("inputImage"), [=](double x, double y, double &sx, double &sy) {
                                 // Nearest point of the segment p0-p1; inside the capsule the lens
                                 // magnifies towards that spine.
                                 const double ex = p1.X() - p0.X(), ey = p1.Y() - p0.Y(), len2 = ex * ex + ey * ey;
                                 const double t = len2 > 0 ? std::clamp(((x - p0.X()) * ex + (y - p0.Y()) * ey) / len2, 0.0, 1.0) : 0.0;
                                 const double qx = p0.X() + ex * t, qy = p0.Y() + ey * t;
                                 const double dx = x - qx, dy = y - qy, d = fastHypot(dx, dy) / R;
                                 const double k = d < 1 ? 1.0 - (1.0 - 1.0 / n) * std::sqrt(1 - d * d) : 1.0;
                                 sx = qx + dx * k;
                                 sy = qy + dy * k;
                             });
                         }));
}

} // namespace imaging::catalogue
