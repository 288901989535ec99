// Tile effects: infinite patterns made by folding the plane onto one cell of the input.
#include <algorithm>
#include <cmath>
#include <vector>

#include "imaging/cachenode.h"
#include "imaging/catalogue.h"
#include "imaging/declare.h"
#include "imaging/homography.h"
#include "imaging/transformnode.h"

namespace imaging::catalogue {

using namespace declare;

namespace {

// floor() inlined: the library call costs more than the rest of a typical fold. Values beyond
// what an integer holds (never met by on-screen coordinates) go to the library.
inline double floorOf(double u)
{
    if (!(std::abs(u) < 1e15)) return std::floor(u);
    const double t = static_cast<double>(static_cast<long long>(u));
    return t > u ? t - 1 : t;
}
inline double wrap01(double u) { return u - floorOf(u); }
// Reflection at every whole number: 0..1 forward, 1..2 back.
inline double reflect01(double u)
{
    const double t = u - 2.0 * floorOf(u * 0.5);
    return t < 1.0 ? t : 2.0 - t;
}

// A lattice frame: cells of side `width` turned by `angle` about `centre`. `fold` maps local
// cell coordinates (in cell units) to the coordinates in the first cell to sample. A template,
// so that the fold is inlined into the per-pixel map.
template<typename Fold>
Image latticeTile(const Image &in, const Vector &centre, double angle, double width, Fold fold)
{
    const double w = std::max(1e-3, width), cs = std::cos(angle), sn = std::sin(angle);
    const double cx = centre.X(), cy = centre.Y();
    // The rotation and the cell size in one matrix each way.
    const double fx = cs / w, fy = sn / w, bx = cs * w, by = sn * w;
    const Rect cell = Rect(cx - 1.5 * w, cy - 1.5 * w, 3 * w, 3 * w);
    return kernels::warp(in, Rect::infinite(), [=](double x, double y, double &sx, double &sy) {
        const double dx = x - cx, dy = y - cy;
        double u = dx * fx + dy * fy, v = -dx * fy + dy * fx;
        fold(u, v);
        sx = cx + u * bx - v * by;
        sy = cy + u * by + v * bx;
    }, kernels::Edge::Clamp, [cell](const Rect &) { return cell; });
}

// The plane folded into one mirrored wedge of width pi / n whose first edge points at `angle`:
// 2n half-wedges around the centre, each mapped onto the first by a rotation (even ones) or a
// reflection (odd ones). Which half-wedge a point lies in is guessed from a rough angle and
// settled by exact side tests against the half-wedges' edges, so that no trigonometry runs per
// pixel.
class MirrorWedges
{
public:
    MirrorWedges(int n, double angle) : m_halves(2 * n), m_sector(M_PI / n), m_perSector(n / M_PI), m_angle(angle)
    {
        for (int j = 0; j <= m_halves; ++j) {
            m_edgeX.push_back(std::cos(angle + j * m_sector));
            m_edgeY.push_back(std::sin(angle + j * m_sector));
        }
        for (int j = 0; j < m_halves; ++j) {
            const int k = j / 2;
            if (j % 2 == 0) {
                // Turn back by k wedges.
                const double c = std::cos(2 * m_sector * k), s = std::sin(2 * m_sector * k);
                m_map.push_back({c, s, -s, c});
            } else {
                // Mirror across the line at angle + (k + 1) * sector.
                const double b = 2 * m_sector * (k + 1) + 2 * angle, c = std::cos(b), s = std::sin(b);
                m_map.push_back({c, s, s, -c});
            }
        }
    }

    void fold(double dx, double dy, double &fx, double &fy) const
    {
        // A rough angle (within 0.005 rad) places the point to within one half-wedge (at least
        // pi / 64 wide); the side tests then settle it.
        double rough = roughAtan2(dy, dx) - m_angle;
        if (rough < 0) rough += 2 * M_PI;
        if (!(rough >= 0 && rough < 2 * M_PI)) rough -= 2 * M_PI * std::floor(rough / (2 * M_PI)); // angles beyond a turn
        int j = std::min(static_cast<int>(rough * m_perSector), m_halves - 1);
        for (int step = 0; step < 2 && side(j, dx, dy) < 0; ++step) j = j == 0 ? m_halves - 1 : j - 1;
        for (int step = 0; step < 2 && side(j + 1, dx, dy) > 0; ++step) j = j == m_halves - 1 ? 0 : j + 1;
        const Map &m = m_map[static_cast<std::size_t>(j)];
        fx = m.a * dx + m.b * dy;
        fy = m.c * dx + m.d * dy;
    }

private:
    struct Map
    {
        double a, b, c, d;
    };
    // Positive when (dx, dy) lies anticlockwise of edge j.
    double side(int j, double dx, double dy) const
    {
        return m_edgeX[static_cast<std::size_t>(j)] * dy - m_edgeY[static_cast<std::size_t>(j)] * dx;
    }
    static double roughAtan2(double y, double x)
    {
        const double ax = std::abs(x), ay = std::abs(y);
        if (ax == 0 && ay == 0) return 0;
        const double z = std::min(ax, ay) / std::max(ax, ay);
        double t = z * (M_PI / 4 + 0.273 * (1 - z));
        if (ay > ax) t = M_PI / 2 - t;
        if (x < 0) t = M_PI - t;
        return y < 0 ? -t : t;
    }

    int m_halves;
    double m_sector, m_perSector, m_angle;
    std::vector<double> m_edgeX, m_edgeY;
    std::vector<Map> m_map;
};

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
                               const int i = static_cast<int>(floorOf(u)) & 1, j = static_cast<int>(floorOf(w)) & 1;
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
                               const bool odd = static_cast<int>(floorOf(w)) & 1;
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
                                                v.number("inputWidth"), [sn, cs, invSn = 1 / sn](double &u, double &w) {
                                                    // Lattice basis (1, 0) and (cos, sin): solve for the
                                                    // coefficients, reflect them into the first cell.
                                                    double b = w * invSn, a = u - b * cs;
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
                             const MirrorWedges wedges(n, a);
                             return kernels::warp(CacheNode::wrap(v.image("inputImage")), Rect::infinite(), [=](double x, double y, double &sx, double &sy) {
                                 double fx, fy;
                                 wedges.fold(x - c.X(), y - c.Y(), fx, fy);
                                 sx = c.X() + fx;
                                 sy = c.Y() + fy;
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
                             const double inv = 1 / std::max(0.1, v.number("inputScale"));
                             return latticeTile(v.image("inputImage"), v.vector("inputCenter"), v.number("inputAngle"),
                                                v.number("inputWidth"), [inv](double &u, double &w) {
                                                    // Each cell shows the picture around its own centre,
                                                    // magnified, so the cells break it into facets.
                                                    const double cu = floorOf(u) + 0.5, cw = floorOf(w) + 0.5;
                                                    u = (cu + (u - cu) * 0.5) * inv;
                                                    w = (cw + (w - cw) * 0.5) * inv;
                                                    u = reflect01(u);
                                                    w = reflect01(w);
                                                });
                         }));

    out.push_back(filter("CITriangleTile", "Triangle Tile", cats, latticeInputs(), [](const FilterValues &v) {
        return latticeTile(v.image("inputImage"), v.vector("inputCenter"), v.number("inputAngle"), v.number("inputWidth"),
                           [](double &u, double &w) {
                               // Equilateral lattice: skew to a square lattice, reflect each
                               // square into its lower triangle, skew back.
                               constexpr double h = 0.86602540378443865; // sqrt(3) / 2
                               double b = w * (1 / h), a = u - b * 0.5;
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
