// Geometry adjustments: affine transform, crop, scaling, perspective and straightening.
#include <algorithm>
#include <cmath>

#include <QDebug>

#include "imaging/blurs.h"
#include "imaging/catalogue.h"
#include "imaging/declare.h"
#include "imaging/homography.h"

namespace imaging::catalogue {

using namespace declare;

namespace {

// The input warped so that its extent's corners land on four points (bottom-left, bottom-right,
// top-right, top-left); output points are mapped back through the inverse homography.
Image perspective(const Image &in, const Vector &bl, const Vector &br, const Vector &tr, const Vector &tl)
{
    const Rect e = in.extent();
    if (e.isEmpty() || e.isInfinite()) return in;
    const Homography toQuad = Homography::rectToSquare(e.x(), e.y(), e.width(), e.height())
                                  .then(Homography::squareToQuad(bl.X(), bl.Y(), br.X(), br.Y(), tr.X(), tr.Y(),
                                                                 tl.X(), tl.Y()));
    if (!toQuad.isValid()) {
        qWarning("perspective: the four corners do not form a usable quadrilateral");
        return Image();
    }
    const Homography back = toQuad.inverted();
    const double xs[4] = {bl.X(), br.X(), tr.X(), tl.X()}, ys[4] = {bl.Y(), br.Y(), tr.Y(), tl.Y()};
    const Rect bounds = Rect::fromEdges(*std::min_element(xs, xs + 4), *std::min_element(ys, ys + 4),
                                        *std::max_element(xs, xs + 4), *std::max_element(ys, ys + 4));
    return kernels::smoothWarp(in, bounds, [back](double x, double y, double &sx, double &sy) {
        if (!back.map(x, y, sx, sy)) sx = sy = NAN;
    });
}

} // namespace

void registerGeometry(std::vector<FilterDescription> &out)
{
    const QStringList geometry{kCICategoryGeometryAdjustment, kCICategoryVideo};

    out.push_back(filter("CIAffineTransform", "Affine Transform", geometry,
                         {image(), transform("inputTransform", AffineTransform())},
                         [](const FilterValues &v) { return v.image("inputImage").transformed(v.transform("inputTransform")); }));

    out.push_back(filter("CICrop", "Crop", geometry,
                         {image(), rectangle("inputRectangle", {0, 0, 640, 480})},
                         [](const FilterValues &v) {
                             const Vector r = v.vector("inputRectangle");
                             return v.image("inputImage").cropped(Rect(r.X(), r.Y(), r.Z(), r.W()));
                         }));

    out.push_back(filter("CILanczosScaleTransform", "Lanczos Scale Transform", geometry,
                         {image(), scalar("inputScale", 1.0, {0.001, 50, 0.05, 1.5}, 1.0),
                          scalar("inputAspectRatio", 1.0, {0.001, 50, 0.05, 2}, 1.0)},
                         [](const FilterValues &v) {
                             const double s = v.number("inputScale"), a = v.number("inputAspectRatio");
                             Image in = v.image("inputImage");
                             // Shrinking first removes what the smaller grid cannot hold.
                             const double shrink = std::min(s * a, s);
                             if (shrink < 1.0) in = blurs::gaussian(in, 0.45 * std::sqrt(1.0 / (shrink * shrink) - 1.0));
                             return in.transformed(AffineTransform::scale(s * a, s));
                         }));

    out.push_back(filter("CIPerspectiveTransform", "Perspective Transform", geometry,
                         {image(), position("inputTopLeft", {118, 484}), position("inputTopRight", {646, 507}),
                          position("inputBottomRight", {548, 140}), position("inputBottomLeft", {155, 153})},
                         [](const FilterValues &v) {
                             return perspective(v.image("inputImage"), v.vector("inputBottomLeft"),
                                                v.vector("inputBottomRight"), v.vector("inputTopRight"),
                                                v.vector("inputTopLeft"));
                         }));

    out.push_back(filter("CIPerspectiveCorrection", "Perspective Correction", geometry,
                         {image(), position("inputTopLeft", {118, 484}), position("inputTopRight", {646, 507}),
                          position("inputBottomRight", {548, 140}), position("inputBottomLeft", {155, 153}),
                          boolean("inputCrop", true)},
                         [](const FilterValues &v) {
                             // Maps the quadrilateral onto an upright rectangle of about its size.
                             const Vector bl = v.vector("inputBottomLeft"), br = v.vector("inputBottomRight"),
                                          tr = v.vector("inputTopRight"), tl = v.vector("inputTopLeft");
                             auto len = [](const Vector &a, const Vector &b) { return fastHypot(a.X() - b.X(), a.Y() - b.Y()); };
                             const double w = std::max(1.0, 0.5 * (len(bl, br) + len(tl, tr)));
                             const double h = std::max(1.0, 0.5 * (len(bl, tl) + len(br, tr)));
                             const Homography quadFromRect = Homography::rectToSquare(bl.X(), bl.Y(), w, h)
                                 .then(Homography::squareToQuad(bl.X(), bl.Y(), br.X(), br.Y(), tr.X(), tr.Y(), tl.X(), tl.Y()));
                             if (!quadFromRect.isValid()) return Image();
                             Rect extent = Rect(bl.X(), bl.Y(), w, h);
                             if (!v.boolean("inputCrop")) extent = extent.adjusted(std::max(w, h));
                             return kernels::warp(v.image("inputImage"), extent,
                                                  [quadFromRect](double x, double y, double &sx, double &sy) {
                                                      if (!quadFromRect.map(x, y, sx, sy)) sx = sy = NAN;
                                                  });
                         }));

    out.push_back(filter("CIStraightenFilter", "Straighten", geometry,
                         {image(), angle("inputAngle", 0.0)},
                         [](const FilterValues &v) {
                             Image in = v.image("inputImage");
                             const Rect e = in.extent();
                             const double a = v.number("inputAngle");
                             if (e.isEmpty() || e.isInfinite() || a == 0.0) return in;
                             // Rotate about the centre and enlarge just enough that no corner
                             // shows, then keep the original frame.
                             const double w = e.width(), h = e.height(), c = std::abs(std::cos(a)), s = std::abs(std::sin(a));
                             const double k = std::max((w * c + h * s) / w, (w * s + h * c) / h);
                             const double cx = e.x() + w / 2, cy = e.y() + h / 2;
                             const AffineTransform t = AffineTransform::translation(-cx, -cy)
                                                           .then(AffineTransform::rotation(a))
                                                           .then(AffineTransform::scale(k, k))
                                                           .then(AffineTransform::translation(cx, cy));
                             return in.transformed(t).cropped(e);
                         }));
}

} // namespace imaging::catalogue
