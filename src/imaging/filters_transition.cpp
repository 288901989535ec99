// Transitions from "inputImage" to "inputTargetImage" as "inputTime" runs from 0 to 1.
#include <algorithm>
#include <cmath>

#include "imaging/blurs.h"
#include "imaging/cachenode.h"
#include "imaging/catalogue.h"
#include "imaging/declare.h"

namespace imaging::catalogue {

using namespace declare;

namespace {

// A general kernel over the source, the target and optional extra images. Each is read at the
// output pixel itself and sampled up to `margin` away, as far as the image reaches.
Image transition(std::vector<Image> inputs, double margin,
                 std::function<void(const std::vector<PixelBuffer> &in, int x, int y, float *out)> pixel)
{
    kernels::General g;
    g.extent = inputs[0].extent().united(inputs[1].extent());
    g.inputs = inputs;
    g.roi = [margin, inputs](int i, const Rect &r) { return r.united(kernels::available(inputs[i], r.adjusted(margin))); };
    g.tileSize = std::clamp(static_cast<int>(4 * margin), 256, 1024);
    g.compute = [pixel](const std::vector<PixelBuffer> &in, PixelBuffer &out) {
        for (int y = out.rect().y0; y < out.rect().y1; ++y)
            for (int x = out.rect().x0; x < out.rect().x1; ++x) pixel(in, x, y, out.pixel(x, y));
    };
    return kernels::general(std::move(g));
}

void lerp(const float *a, const float *b, float t, float *o)
{
    for (int c = 0; c < 4; ++c) o[c] = a[c] + (b[c] - a[c]) * t;
}

QStringList transitionCats() { return {kCICategoryTransition, kCICategoryVideo}; }

} // namespace

void registerTransition(std::vector<FilterDescription> &out)
{
    const QStringList cats = transitionCats();

    out.push_back(filter("CIDissolveTransition", "Dissolve", cats,
                         {image(), image("inputTargetImage", "Target Image"), time()},
                         [](const FilterValues &v) {
                             const float t = v.f("inputTime");
                             return kernels::blend(v.image("inputImage"), v.image("inputTargetImage"), [t](const float *s, const float *b, float *o, int n) {
                                 for (int i = 0; i < n * 4; ++i) o[i] = s[i] + (b[i] - s[i]) * t;
                             });
                         }));

    out.push_back(filter("CISwipeTransition", "Swipe", cats,
                         {image(), image("inputTargetImage", "Target Image"), rectangle("inputExtent", {0, 0, 300, 300}),
                          color("inputColor", {1, 1, 1, 1}), time(), angle("inputAngle", 0.0),
                          distance("inputWidth", 300, {0.1, 10000, 0.1, 1000}), scalar("inputOpacity", 0, {0, 1, 0, 1})},
                         [](const FilterValues &v) {
                             const Vector e = v.vector("inputExtent");
                             const double t = v.number("inputTime"), a = v.number("inputAngle"), w = std::max(0.1, v.number("inputWidth"));
                             const float op = v.f("inputOpacity");
                             float band[4];
                             premultiplied(v.color("inputColor"), band);
                             const double dx = std::cos(a), dy = std::sin(a);
                             // The edge moves across the extent along the angle; behind it the
                             // target shows, inside the band of `width` the colour at `opacity`.
                             const double span = std::abs(e.Z() * dx) + std::abs(e.W() * dy) + w;
                             const double x0 = e.X() + (dx < 0 ? e.Z() : 0), y0 = e.Y() + (dy < 0 ? e.W() : 0);
                             return transition({v.image("inputImage"), v.image("inputTargetImage")}, 0,
                                               [=](const std::vector<PixelBuffer> &in, int x, int y, float *o) {
                                                   const double d = (x + 0.5 - x0) * dx + (y + 0.5 - y0) * dy;
                                                   const double edge = t * span - w;
                                                   const float *s = in[0].pixel(x, y), *g = in[1].pixel(x, y);
                                                   if (d < edge) std::copy(g, g + 4, o);
                                                   else std::copy(s, s + 4, o);
                                                   if (d >= edge && d < edge + w) lerp(o, band, op, o);
                                               });
                         }));

    out.push_back(filter("CIBarsSwipeTransition", "Bars Swipe", cats,
                         {image(), image("inputTargetImage", "Target Image"), angle("inputAngle", M_PI),
                          distance("inputWidth", 30, {2, 1000, 2, 300}), distance("inputBarOffset", 10, {1, 1000, 1, 100}), time()},
                         [](const FilterValues &v) {
                             const double a = v.number("inputAngle"), w = std::max(2.0, v.number("inputWidth")),
                                          off = v.number("inputBarOffset"), t = v.number("inputTime");
                             return transition({v.image("inputImage"), v.image("inputTargetImage")}, 0,
                                               [=](const std::vector<PixelBuffer> &in, int x, int y, float *o) {
                                                   // Bars across the angle, each opening a little later.
                                                   const double u = (x + 0.5) * std::cos(a) + (y + 0.5) * std::sin(a);
                                                   const double across = -(x + 0.5) * std::sin(a) + (y + 0.5) * std::cos(a);
                                                   const double bar = std::floor(across / w);
                                                   const double phase = std::fmod(std::abs(bar) * off, 100.0) / 100.0;
                                                   const bool shown = std::fmod(std::abs(u), 400.0) / 400.0 < t * (1 + phase) - phase * 0.5;
                                                   const float *src = shown ? in[1].pixel(x, y) : in[0].pixel(x, y);
                                                   std::copy(src, src + 4, o);
                                               });
                         }));

    out.push_back(filter("CIFlashTransition", "Flash", cats,
                         {image(), image("inputTargetImage", "Target Image"), position("inputCenter", {150, 150}),
                          rectangle("inputExtent", {0, 0, 300, 300}), color("inputColor", {1, 0.8, 0.6, 1}), time(),
                          scalar("inputFadeThreshold", 0.85, {0, 1, 0, 1})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter"), e = v.vector("inputExtent");
                             const double t = v.number("inputTime"), fade = v.number("inputFadeThreshold");
                             float flash[4];
                             premultiplied(v.color("inputColor"), flash);
                             const double reach = std::max(1.0, fastHypot(e.Z(), e.W()));
                             return transition({v.image("inputImage"), v.image("inputTargetImage")}, 0,
                                               [=](const std::vector<PixelBuffer> &in, int x, int y, float *o) {
                                                   // A flash grows from the centre, then fades into the target.
                                                   const double d = fastHypot(x + 0.5 - c.X(), y + 0.5 - c.Y()) / reach;
                                                   const double grow = std::clamp(t / std::max(fade, 1e-3), 0.0, 1.0);
                                                   const float glow = static_cast<float>(std::clamp(1.0 - d / std::max(grow * 1.5, 1e-6), 0.0, 1.0));
                                                   const float mixT = static_cast<float>(std::clamp((t - fade) / std::max(1 - fade, 1e-3), 0.0, 1.0));
                                                   float base[4];
                                                   lerp(in[0].pixel(x, y), in[1].pixel(x, y), mixT, base);
                                                   lerp(base, flash, glow * (1.f - mixT), o);
                                               });
                         }));

    out.push_back(filter("CIModTransition", "Mod", cats,
                         {image(), image("inputTargetImage", "Target Image"), position("inputCenter", {150, 150}), time(),
                          angle("inputAngle", 2.0), distance("inputRadius", 150, {1, 10000, 1, 200}),
                          scalar("inputCompression", 300, {1, 5000, 1, 800})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double t = v.number("inputTime"), a = v.number("inputAngle"), r = std::max(1.0, v.number("inputRadius")),
                                          comp = std::max(1.0, v.number("inputCompression"));
                             return transition({v.image("inputImage"), v.image("inputTargetImage")}, 0,
                                               [=](const std::vector<PixelBuffer> &in, int x, int y, float *o) {
                                                   // Stretched blobs on a tilted grid open up as time runs.
                                                   const double dx = x + 0.5 - c.X(), dy = y + 0.5 - c.Y();
                                                   const double u = (dx * std::cos(a) + dy * std::sin(a)) / r;
                                                   const double w = (-dx * std::sin(a) + dy * std::cos(a)) / (r * comp / 300.0);
                                                   const double blob = fastHypot(u - std::round(u), (w - std::round(w)) * 0.5) * 2;
                                                   const float *src = blob < t * 1.5 ? in[1].pixel(x, y) : in[0].pixel(x, y);
                                                   std::copy(src, src + 4, o);
                                               });
                         }));

    out.push_back(filter("CICopyMachineTransition", "Copy Machine", cats,
                         {image(), image("inputTargetImage", "Target Image"), rectangle("inputExtent", {0, 0, 300, 300}),
                          color("inputColor", {0.6, 1, 0.8, 1}), time(), angle("inputAngle", 0.0),
                          distance("inputWidth", 200, {0.1, 10000, 0.1, 500}), scalar("inputOpacity", 1.3, {0, 3, 0, 3})},
                         [](const FilterValues &v) {
                             const Vector e = v.vector("inputExtent");
                             const double t = v.number("inputTime"), a = v.number("inputAngle"), w = std::max(0.1, v.number("inputWidth"));
                             const float op = std::min(1.f, v.f("inputOpacity") * 0.7f);
                             float light[4];
                             premultiplied(v.color("inputColor"), light);
                             const double dx = std::cos(a), dy = std::sin(a);
                             const double span = std::abs(e.Z() * dx) + std::abs(e.W() * dy);
                             return transition({v.image("inputImage"), v.image("inputTargetImage")}, 0,
                                               [=](const std::vector<PixelBuffer> &in, int x, int y, float *o) {
                                                   // A scanning bar of light; behind it the copy (target).
                                                   const double d = (x + 0.5 - e.X()) * dx + (y + 0.5 - e.Y()) * dy;
                                                   const double pos = t * (span + w) - w / 2;
                                                   const float *src = d < pos ? in[1].pixel(x, y) : in[0].pixel(x, y);
                                                   std::copy(src, src + 4, o);
                                                   const double inBar = 1.0 - std::min(1.0, std::abs(d - pos) / (w / 2));
                                                   if (inBar > 0 && t > 0 && t < 1) lerp(o, light, static_cast<float>(inBar) * op, o);
                                               });
                         }));

    out.push_back(filter("CIPageCurlTransition", "Page Curl", cats,
                         {image(), image("inputTargetImage", "Target Image"), image("inputBacksideImage", "Backside Image"),
                          image("inputShadingImage", "Shading Image", DefaultImage::AlphaMap), rectangle("inputExtent", {0, 0, 300, 300}), time(),
                          angle("inputAngle", 0.0), distance("inputRadius", 100, {0.01, 10000, 0.01, 400})},
                         [](const FilterValues &v) {
                             const Vector e = v.vector("inputExtent");
                             const double t = v.number("inputTime"), a = v.number("inputAngle"), R = std::max(0.01, v.number("inputRadius"));
                             // The shading image is read across its whole width wherever the page curls,
                             // whatever part of the picture a tile covers: it is sampled where it lies.
                             const Image shading = CacheNode::wrap(v.image("inputShadingImage"));
                             const bool cached = dynamic_cast<const CacheNode *>(shading.node().get()) != nullptr;
                             const Rect se = shading.extent();
                             const double dx = std::cos(a), dy = std::sin(a);
                             const double span = std::abs(e.Z() * dx) + std::abs(e.W() * dy);
                             const double x0 = e.X() + (dx < 0 ? e.Z() : 0), y0 = e.Y() + (dy < 0 ? e.W() : 0);
                             // The page rolls up along the angle around a cylinder of radius R whose
                             // axis sits at `line`; past the roll the target shows, on the roll the
                             // page's back lit by the shading image.
                             const double line = span - t * (span + 2 * R);
                             return transition({v.image("inputImage"), v.image("inputTargetImage"), v.image("inputBacksideImage")},
                                               (M_PI + 1) * R + 2, [=](const std::vector<PixelBuffer> &in, int x, int y, float *o) {
                                                   const double px = x + 0.5, py = y + 0.5;
                                                   const double d = (px - x0) * dx + (py - y0) * dy - line;
                                                   const float *page = in[0].pixel(x, y), *target = in[1].pixel(x, y);
                                                   if (d < 0) { std::copy(page, page + 4, o); return; }
                                                   std::copy(target, target + 4, o);
                                                   if (d < R) {
                                                       // On the cylinder: the back of the page that
                                                       // curled over from distance along the arc.
                                                       const double arc = M_PI * R - std::asin(std::clamp(d / R, -1.0, 1.0)) * R;
                                                       float back[4];
                                                       in[2].sampleBilinearClamped(px - (arc + d) * dx, py - (arc + d) * dy, back);
                                                       float light[4] = {1, 1, 1, 1};
                                                       if (cached) {
                                                           const PixelBuffer &map = static_cast<const CacheNode &>(*shading.node()).pixels();
                                                           map.sampleBilinearClamped(se.x() + se.width() * (0.5 + 0.45 * d / R), se.y() + se.height() * 0.5, light);
                                                       }
                                                       const float l = std::clamp(luminance(light[0], light[1], light[2]) / std::max(light[3], 1e-3f), 0.2f, 1.f);
                                                       for (int c = 0; c < 3; ++c) back[c] *= l;
                                                       if (back[3] > 0) lerp(o, back, 1.f, o);
                                                   }
                                               });
                         }));

    out.push_back(filter("CIRippleTransition", "Ripple", cats,
                         {image(), image("inputTargetImage", "Target Image"), image("inputShadingImage", "Shading Image", DefaultImage::AlphaMap),
                          position("inputCenter", {150, 150}), rectangle("inputExtent", {0, 0, 300, 300}), time(),
                          distance("inputWidth", 100, {1, 10000, 1, 300}), scalar("inputScale", 50, {-50, 50, -50, 50})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter"), e = v.vector("inputExtent");
                             const double t = v.number("inputTime"), w = std::max(1.0, v.number("inputWidth")), scale = v.number("inputScale");
                             const double reach = fastHypot(e.Z(), e.W()) + w;
                             return transition({v.image("inputImage"), v.image("inputTargetImage"), v.image("inputShadingImage")},
                                               std::abs(scale) + 2, [=](const std::vector<PixelBuffer> &in, int x, int y, float *o) {
                                                   // A ring wave travels outward; inside it the target, outside the
                                                   // source, and on the ring both are refracted.
                                                   const double px = x + 0.5, py = y + 0.5;
                                                   const double dx = px - c.X(), dy = py - c.Y(), d = fastHypot(dx, dy);
                                                   const double front = t * reach, u = (d - front) / w;
                                                   const double bend = std::abs(u) < 1 ? std::sin(u * M_PI) * scale * 0.2 : 0.0;
                                                   const double k = d > 0 ? bend / d : 0.0;
                                                   const PixelBuffer &src = u < 0 ? in[1] : in[0];
                                                   src.sampleBilinearClamped(px + dx * k, py + dy * k, o);
                                               });
                         }));

    out.push_back(filter("CIDisintegrateWithMaskTransition", "Disintegrate With Mask", cats,
                         {image(), image("inputTargetImage", "Target Image"), image("inputMaskImage", "Mask Image", DefaultImage::Mask), time(),
                          distance("inputShadowRadius", 8, {0, 200, 0, 50}), scalar("inputShadowDensity", 0.65, {0, 1, 0, 1}),
                          offset("inputShadowOffset", {0, -10})},
                         [](const FilterValues &v) {
                             const double t = v.number("inputTime"), density = v.number("inputShadowDensity");
                             const Vector off = v.vector("inputShadowOffset");
                             const Image mask = v.image("inputMaskImage");
                             const Image soft = blurs::gaussian(mask, v.number("inputShadowRadius"));
                             const double margin = fastHypot(off.X(), off.Y()) + 2;
                             return transition({v.image("inputImage"), v.image("inputTargetImage"), mask, soft}, margin,
                                               [=](const std::vector<PixelBuffer> &in, int x, int y, float *o) {
                                                   // Where the mask's tone is below the time the target shows;
                                                   // the edge casts a soft shadow onto the target.
                                                   auto tone = [](const float *p) { return luminance(p[0], p[1], p[2]) / std::max(p[3], 1e-6f); };
                                                   const float *m = in[2].pixel(x, y);
                                                   const bool gone = m[3] > 0 && tone(m) < t;
                                                   const float *src = gone ? in[1].pixel(x, y) : in[0].pixel(x, y);
                                                   std::copy(src, src + 4, o);
                                                   if (gone && t > 0) {
                                                       float s[4];
                                                       in[3].sampleBilinearClamped(x + 0.5 - off.X(), y + 0.5 - off.Y(), s);
                                                       const double shadow = s[3] > 0 && tone(s) >= t ? density : 0.0;
                                                       for (int c = 0; c < 3; ++c) o[c] *= static_cast<float>(1 - shadow);
                                                   }
                                               });
                         }));

    out.push_back(filter("CIAccordionFoldTransition", "Accordion Fold", cats,
                         {image(), image("inputTargetImage", "Target Image"), distance("inputBottomHeight", 0, {0, 10000, 0, 500}),
                          scalar("inputNumberOfFolds", 3, {1, 50, 1, 50}), scalar("inputFoldShadowAmount", 0.1, {0, 1, 0, 1}), time()},
                         [](const FilterValues &v) {
                             const Image src = v.image("inputImage");
                             const Rect e = src.extent();
                             if (e.isEmpty() || e.isInfinite()) return Image();
                             const double bottom = v.number("inputBottomHeight"), t = v.number("inputTime"),
                                          shadowAmount = v.number("inputFoldShadowAmount");
                             const int folds = std::max(1, static_cast<int>(std::round(v.number("inputNumberOfFolds"))));
                             const double foldable = std::max(1.0, e.height() - bottom);
                             const double squash = 1.0 - t; // how much of the foldable height is left
                             // A squeezed row reads up to foldable (1 / squash - 1) pixels above itself.
                             const double reach = squash > 0 ? std::min(foldable, foldable * (1 / squash - 1)) : 0.0;
                             return transition({src, v.image("inputTargetImage")}, reach + 2,
                                               [=](const std::vector<PixelBuffer> &in, int x, int y, float *o) {
                                                   // The source is squeezed down towards its bottom strip in
                                                   // folds, uncovering the target above it.
                                                   const double py = y + 0.5 - e.y();
                                                   const double top = bottom + foldable * squash;
                                                   if (py < bottom || squash <= 0 || py >= top) {
                                                       const float *p = py < bottom ? in[0].pixel(x, y) : in[1].pixel(x, y);
                                                       std::copy(p, p + 4, o);
                                                       return;
                                                   }
                                                   const double u = (py - bottom) / squash;
                                                   in[0].sampleBilinearClamped(x + 0.5, e.y() + bottom + u, o);
                                                   const double phase = std::fmod(u / foldable * folds, 1.0);
                                                   const double shade = 1 - shadowAmount * t * std::abs(std::sin(phase * M_PI)) * 2;
                                                   for (int c = 0; c < 3; ++c) o[c] *= static_cast<float>(std::max(0.0, shade));
                                               });
                         }));
}

} // namespace imaging::catalogue
