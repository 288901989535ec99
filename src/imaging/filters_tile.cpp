// Tile effects: infinite patterns made by folding the plane onto one cell of the input.
#include <algorithm>
#include <cmath>

#include "imaging/cachenode.h"
#include "imaging/catalogue.h"
#include "imaging/declare.h"
#include "imaging/homography.h"
#include "imaging/transformnode.h"

namespace imaging::catalogue {

using namespace declare;

namespace {

double wrap01(double u) { return u - std::floor(u); }
// Reflection at every whole number: 0..1 forward, 1..2 back.
double reflect01(double u)
{
    const double t = u - 2.0 * std::floor(u / 2.0);
    return t < 1.0 ? t : 2.0 - t;
}

// A lattice frame: cells of side `width` turned by `angle` about `centre`. `fold` maps local
// cell coordinates (in cell units) to the coordinates in the first cell to sample.
Image latticeTile(const Image &in, const Vector &centre, double angle, double width,
                  std::function<void(double &u, double &v)> fold)
{
    const double w = std::max(1e-3, width), cs = std::cos(angle), sn = std::sin(angle);
    const double cx = centre.X(), cy = centre.Y();
    const Rect cell = Rect(cx - 1.5 * w, cy - 1.5 * w, 3 * w, 3 * w);
    return kernels::warp(in, Rect::infinite(), [=](double x, double y, double &sx, double &sy) {
        const double dx = x - cx, dy = y - cy;
        double u = (dx * cs + dy * sn) / w, v = (-dx * sn + dy * cs) / w;
        fold(u, v);
        sx = cx + (u * cs - v * sn) * w;
        sy = cy + (u * sn + v * cs) * w;
    }, kernels::Edge::Clamp, [cell](const Rect &) { return cell; });
}

QStringList tileCats() { return {kCICategoryTileEffect, kCICategoryVideo}; }

std::vector<InputDescription> latticeInputs(std::vector<InputDescription> extra = {})
{
    std::vector<InputDescription> in{image(), position("inputCenter", {150, 150}), angle("inputAngle", 0.0),
                                     distance("inputWidth", 100, {0, 10000, 0, 200})};
    for (auto &e : extra) in.push_back(std::move(e));
    return in;
}

} // namespace

void registerTile(std::vector<FilterDescription> &out)
{
    const QStringList cats = tileCats();

    out.push_back(filter("CIAffineClamp", "Affine Clamp", cats,
                         {image(), transformVector("inputTransform", AffineTransform(1, 0, 0, 1, 0, 0))},
                         [](const FilterValues &v) {
                             // The transformed picture with its edge pixels extended to infinity.
                             const Image in = v.image("inputImage");
                             const AffineTransform t = v.transform("inputTransform");
                             if (!t.isInvertible()) return Image();
                             const AffineTransform inv = t.inverted();
                             const Rect e = in.extent();
                             if (e.isEmpty() || e.isInfinite()) return in.transformed(t);
                             return kernels::warp(in, Rect::infinite(), [inv](double x, double y, double &sx, double &sy) {
                                 inv.map(x, y, sx, sy);
                             }, kernels::Edge::Clamp, [inv, e](const Rect &out) {
                                 // Points outside the picture read its nearest edge pixel.
                                 const Rect q = TransformNode::mapRect(inv, out);
                                 auto cx = [&](double x) { return std::clamp(x, e.x(), e.maxX()); };
                                 auto cy = [&](double y) { return std::clamp(y, e.y(), e.maxY()); };
                                 return Rect::fromEdges(cx(q.x()) - 1, cy(q.y()) - 1, cx(q.maxX()) + 1, cy(q.maxY()) + 1);
                             });
                         }));

    out.push_back(filter("CIAffineTile", "Affine Tile", cats, {image(), transform("inputTransform", AffineTransform::scale(0.5, 0.5))},
                         [](const FilterValues &v) {
                             const Image in = CacheNode::wrap(v.image("inputImage"));
                             const AffineTransform t = v.transform("inputTransform");
                             const Rect e = in.extent();
                             if (!t.isInvertible() || e.isEmpty() || e.isInfinite()) return Image();
                             const AffineTransform inv = t.inverted();
                             return kernels::warp(in, Rect::infinite(), [=](double x, double y, double &sx, double &sy) {
                                 inv.map(x, y, sx, sy);
                                 sx = e.x() + wrap01((sx - e.x()) / e.width()) * e.width();
                                 sy = e.y() + wrap01((sy - e.y()) / e.height()) * e.height();
                             }, kernels::Edge::Clamp, [inv, e](const Rect &out) {
                                 // Within one copy of the picture the region is the mapped rectangle
                                 // moved into the original; across a seam it is the whole picture.
                                 const Rect q = TransformNode::mapRect(inv, out);
                                 const double i0 = std::floor((q.x() - e.x()) / e.width()), i1 = std::floor((q.maxX() - e.x()) / e.width());
                                 const double j0 = std::floor((q.y() - e.y()) / e.height()), j1 = std::floor((q.maxY() - e.y()) / e.height());
                                 if (i0 != i1 || j0 != j1) return e;
                                 return q.translated(-i0 * e.width(), -j0 * e.height()).adjusted(2);
                             });
                         }));

    out.push_back(filter("CIFourfoldTranslatedTile", "Fourfold Translated Tile", cats,
                         latticeInputs({angle("inputAcuteAngle", M_PI / 2)}), [](const FilterValues &v) {
                             return latticeTile(v.image("inputImage"), v.vector("inputCenter"), v.number("inputAngle"),
                                                v.number("inputWidth"), [](double &u, double &w) { u = wrap01(u); w = wrap01(w); });
                         }));

    out.push_back(filter("CIFourfoldReflectedTile", "Fourfold Reflected Tile", cats,
                         latticeInputs({angle("inputAcuteAngle", M_PI / 2)}), [](const FilterValues &v) {
                             return latticeTile(v.image("inputImage"), v.vector("inputCenter"), v.number("inputAngle"),
                                                v.number("inputWidth"), [](double &u, double &w) { u = reflect01(u); w = reflect01(w); });
                         }));

    out.push_back(filter("CIFourfoldRotatedTile", "Fourfold Rotated Tile", cats, latticeInputs(), [](const FilterValues &v) {
        return latticeTile(v.image("inputImage"), v.vector("inputCenter"), v.number("inputAngle"), v.number("inputWidth"),
                           [](double &u, double &w) {
                               // Each cell is the first one turned by a quarter per step around
                               // the 2 x 2 block it belongs to.
                               const int i = static_cast<int>(std::floor(u)) & 1, j = static_cast<int>(std::floor(w)) & 1;
                               double a = wrap01(u) - 0.5, b = wrap01(w) - 0.5;
                               const int turns = (i == 0 ? (j == 0 ? 0 : 3) : (j == 0 ? 1 : 2));
                               for (int k = 0; k < turns; ++k) { const double t = a; a = -b; b = t; }
                               u = a + 0.5;
                               w = b + 0.5;
                           });
    }));

    out.push_back(filter("CIEightfoldReflectedTile", "Eightfold Reflected Tile", cats, latticeInputs(), [](const FilterValues &v) {
        return latticeTile(v.image("inputImage"), v.vector("inputCenter"), v.number("inputAngle"), v.number("inputWidth"),
                           [](double &u, double &w) {
                               u = reflect01(u);
                               w = reflect01(w);
                               if (w > u) std::swap(u, w); // fold across the diagonal as well
                           });
    }));

    out.push_back(filter("CIGlideReflectedTile", "Glide Reflected Tile", cats, latticeInputs(), [](const FilterValues &v) {
        return latticeTile(v.image("inputImage"), v.vector("inputCenter"), v.number("inputAngle"), v.number("inputWidth"),
                           [](double &u, double &w) {
                               // Every other row is mirrored and moved by half a cell.
                               const bool odd = static_cast<int>(std::floor(w)) & 1;
                               w = wrap01(w);
                               u = odd ? 1.0 - wrap01(u + 0.5) : wrap01(u);
                           });
    }));

    out.push_back(filter("CIParallelogramTile", "Parallelogram Tile", cats, latticeInputs({angle("inputAcuteAngle", M_PI / 2)}),
                         [](const FilterValues &v) {
                             const double acute = v.number("inputAcuteAngle");
                             const double sn = std::sin(acute), cs = std::cos(acute);
                             if (std::abs(sn) < 1e-3) return Image();
                             return latticeTile(v.image("inputImage"), v.vector("inputCenter"), v.number("inputAngle"),
                                                v.number("inputWidth"), [sn, cs](double &u, double &w) {
                                                    // Lattice basis (1, 0) and (cos, sin): solve for the
                                                    // coefficients, reflect them into the first cell.
                                                    double b = w / sn, a = u - b * cs;
                                                    a = reflect01(a);
                                                    b = reflect01(b);
                                                    u = a + b * cs;
                                                    w = b * sn;
                                                });
                         }));

    out.push_back(filter("CIKaleidoscope", "Kaleidoscope", cats,
                         {image(), scalar("inputCount", 6, {1, 64, 1, 64}), position("inputCenter", {150, 150}), angle("inputAngle", 0.0)},
                         [](const FilterValues &v) {
                             const int n = std::max(1, static_cast<int>(std::round(v.number("inputCount"))));
                             const Vector c = v.vector("inputCenter");
                             const double a = v.number("inputAngle"), sector = M_PI / n;
                             return kernels::warp(CacheNode::wrap(v.image("inputImage")), Rect::infinite(), [=](double x, double y, double &sx, double &sy) {
                                 const double dx = x - c.X(), dy = y - c.Y(), r = fastHypot(dx, dy);
                                 // Fold the angle into one mirrored wedge of width pi / n.
                                 double th = std::atan2(dy, dx) - a;
                                 th = th - 2 * sector * std::floor(th / (2 * sector));
                                 if (th > sector) th = 2 * sector - th;
                                 sx = c.X() + r * std::cos(th + a);
                                 sy = c.Y() + r * std::sin(th + a);
                             }, kernels::Edge::Clamp, [=](const Rect &out) {
                                 // The wedge between radii rmin and rmax of the output rectangle.
                                 const double far = std::max({fastHypot(out.x() - c.X(), out.y() - c.Y()),
                                                              fastHypot(out.maxX() - c.X(), out.y() - c.Y()),
                                                              fastHypot(out.x() - c.X(), out.maxY() - c.Y()),
                                                              fastHypot(out.maxX() - c.X(), out.maxY() - c.Y())});
                                 const double nx = std::clamp(c.X(), out.x(), out.maxX()), ny = std::clamp(c.Y(), out.y(), out.maxY());
                                 const double near = fastHypot(nx - c.X(), ny - c.Y());
                                 double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
                                 for (int k = 0; k <= 16; ++k) {
                                     const double th = a + sector * k / 16.0;
                                     for (double r : {near, far}) {
                                         const double px = c.X() + r * std::cos(th), py = c.Y() + r * std::sin(th);
                                         x0 = std::min(x0, px); x1 = std::max(x1, px); y0 = std::min(y0, py); y1 = std::max(y1, py);
                                     }
                                 }
                                 return Rect::fromEdges(x0, y0, x1, y1).adjusted(far * 0.02 + 2);
                             });
                         }));

    out.push_back(filter("CIOpTile", "Op Tile", cats,
                         {image(), position("inputCenter", {150, 150}), scalar("inputScale", 2.8, {0.1, 10, 0.1, 10}),
                          angle("inputAngle", 0.0), distance("inputWidth", 65, {1, 10000, 1, 1000})},
                         [](const FilterValues &v) {
                             const double s = std::max(0.1, v.number("inputScale"));
                             return latticeTile(v.image("inputImage"), v.vector("inputCenter"), v.number("inputAngle"),
                                                v.number("inputWidth"), [s](double &u, double &w) {
                                                    // Each cell shows the picture around its own centre,
                                                    // magnified, so the cells break it into facets.
                                                    const double cu = std::floor(u) + 0.5, cw = std::floor(w) + 0.5;
                                                    u = cu / s + (u - cu) / s * 0.5;
                                                    w = cw / s + (w - cw) / s * 0.5;
                                                    u = reflect01(u);
                                                    w = reflect01(w);
                                                });
                         }));

    out.push_back(filter("CITriangleTile", "Triangle Tile", cats, latticeInputs(), [](const FilterValues &v) {
        return latticeTile(v.image("inputImage"), v.vector("inputCenter"), v.number("inputAngle"), v.number("inputWidth"),
                           [](double &u, double &w) {
                               // Equilateral lattice: skew to a square lattice, reflect each
                               // square into its lower triangle, skew back.
                               const double h = std::sqrt(3.0) / 2;
                               double b = w / h, a = u - b * 0.5;
                               a = reflect01(a);
                               b = reflect01(b);
                               if (a + b > 1) { const double t = 1 - b; b = 1 - a; a = t; }
                               u = a + b * 0.5;
                               w = b * h;
                           });
    }));

    out.push_back(filter("CIPerspectiveTile", "Perspective Tile", cats,
                         {image(), position("inputTopLeft", {118, 484}), position("inputTopRight", {646, 507}),
                          position("inputBottomRight", {548, 140}), position("inputBottomLeft", {155, 153})},
                         [](const FilterValues &v) {
                             const Image in = CacheNode::wrap(v.image("inputImage"));
                             const Rect e = in.extent();
                             if (e.isEmpty() || e.isInfinite()) return Image();
                             const Vector bl = v.vector("inputBottomLeft"), br = v.vector("inputBottomRight"),
                                          tr = v.vector("inputTopRight"), tl = v.vector("inputTopLeft");
                             const Homography quad = Homography::squareToQuad(bl.X(), bl.Y(), br.X(), br.Y(), tr.X(), tr.Y(), tl.X(), tl.Y());
                             if (!quad.isValid()) return Image();
                             const Homography back = quad.inverted();
                             // The plane seen in perspective, covered with copies of the picture,
                             // one per unit square.
                             return kernels::warp(in, Rect::infinite(), [=](double x, double y, double &sx, double &sy) {
                                 double u, w;
                                 if (!back.map(x, y, u, w)) { sx = sy = NAN; return; }
                                 sx = e.x() + wrap01(u) * e.width();
                                 sy = e.y() + wrap01(w) * e.height();
                             }, kernels::Edge::Clamp, [e](const Rect &) { return e; });
                         }));
}

} // namespace imaging::catalogue
