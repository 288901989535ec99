// Gradients: generators of infinite extent that blend two colours by position.
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "imaging/catalogue.h"
#include "imaging/declare.h"

namespace imaging::catalogue {

using namespace declare;

void registerGradient(std::vector<FilterDescription> &out)
{
    const QStringList cats{kCICategoryGradient, kCICategoryVideo};

    out.push_back(filter("CIGaussianGradient", "Gaussian Gradient", cats,
                         {position("inputCenter", {150, 150}), color("inputColor0", {1, 1, 1, 1}), color("inputColor1", {0, 0, 0, 0}),
                          distance("inputRadius", 300, {0, 10000, 0, 800})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double r = std::max(1e-3, v.number("inputRadius"));
                             float c0[4], c1[4];
                             premultiplied(v.color("inputColor0"), c0);
                             premultiplied(v.color("inputColor1"), c1);
                             // A Gaussian falloff that reaches colour 1 at the radius (3 sigma), as a
                             // table over the squared distance in sigmas (an exponential per pixel
                             // cost most of the render), within 5e-6 of the exponential. Beyond 7
                             // sigmas the falloff is complete to float precision.
                             constexpr int n = 4096;
                             constexpr double last = 49.0;
                             auto table = std::make_shared<std::vector<float>>(n + 2);
                             for (int i = 0; i <= n + 1; ++i) (*table)[i] = static_cast<float>(1.0 - std::exp(-0.5 * last * i / n));
                             const double perSigma2 = 9.0 / (r * r);
                             return kernels::generator(Rect::infinite(), [=](double x, double y, float *o) {
                                 const double dx = x - c.X(), dy = y - c.Y();
                                 const double t = (dx * dx + dy * dy) * perSigma2 * (n / last);
                                 float k = 1.f;
                                 if (t < n) {
                                     const int i = static_cast<int>(t);
                                     k = (*table)[i] + ((*table)[i + 1] - (*table)[i]) * static_cast<float>(t - i);
                                 }
                                 mix(c0, c1, k, o);
                             });
                         }));

    out.push_back(filter("CILinearGradient", "Linear Gradient", cats,
                         {position("inputPoint0", {0, 0}), position("inputPoint1", {200, 200}), color("inputColor0", {1, 1, 1, 1}),
                          color("inputColor1", {0, 0, 0, 1})},
                         [](const FilterValues &v) {
                             const Vector p0 = v.vector("inputPoint0"), p1 = v.vector("inputPoint1");
                             const double dx = p1.X() - p0.X(), dy = p1.Y() - p0.Y(), len2 = dx * dx + dy * dy;
                             float c0[4], c1[4];
                             premultiplied(v.color("inputColor0"), c0);
                             premultiplied(v.color("inputColor1"), c1);
                             return kernels::generator(Rect::infinite(), [=](double x, double y, float *o) {
                                 const double t = len2 > 0 ? ((x - p0.X()) * dx + (y - p0.Y()) * dy) / len2 : 0.0;
                                 mix(c0, c1, static_cast<float>(std::clamp(t, 0.0, 1.0)), o);
                             });
                         }));

    out.push_back(filter("CISmoothLinearGradient", "Smooth Linear Gradient", cats,
                         {position("inputPoint0", {0, 0}), position("inputPoint1", {200, 200}), color("inputColor0", {1, 1, 1, 1}),
                          color("inputColor1", {0, 0, 0, 1})},
                         [](const FilterValues &v) {
                             const Vector p0 = v.vector("inputPoint0"), p1 = v.vector("inputPoint1");
                             const double dx = p1.X() - p0.X(), dy = p1.Y() - p0.Y(), len2 = dx * dx + dy * dy;
                             float c0[4], c1[4];
                             premultiplied(v.color("inputColor0"), c0);
                             premultiplied(v.color("inputColor1"), c1);
                             return kernels::generator(Rect::infinite(), [=](double x, double y, float *o) {
                                 const double t = len2 > 0 ? ((x - p0.X()) * dx + (y - p0.Y()) * dy) / len2 : 0.0;
                                 mix(c0, c1, static_cast<float>(smoothstep(0.0, 1.0, t)), o);
                             });
                         }));

    out.push_back(filter("CIRadialGradient", "Radial Gradient", cats,
                         {position("inputCenter", {150, 150}), distance("inputRadius0", 5, {0, 10000, 0, 800}),
                          distance("inputRadius1", 100, {0, 10000, 0, 800}), color("inputColor0", {1, 1, 1, 1}),
                          color("inputColor1", {0, 0, 0, 1})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double r0 = v.number("inputRadius0"), r1 = v.number("inputRadius1");
                             float c0[4], c1[4];
                             premultiplied(v.color("inputColor0"), c0);
                             premultiplied(v.color("inputColor1"), c1);
                             return kernels::generator(Rect::infinite(), [=](double x, double y, float *o) {
                                 const double d = fastHypot(x - c.X(), y - c.Y());
                                 const double t = r1 == r0 ? (d < r0 ? 0.0 : 1.0) : (d - r0) / (r1 - r0);
                                 mix(c0, c1, static_cast<float>(std::clamp(t, 0.0, 1.0)), o);
                             });
                         }));

    out.push_back(filter("CIHueSaturationValueGradient", "Hue/Saturation/Value Gradient", cats,
                         {scalar("inputValue", 1, {0, 1, 0, 1}), distance("inputRadius", 300, {0, 10000, 0, 800}),
                          scalar("inputSoftness", 1, {0, 10, 0, 1}), scalar("inputDither", 1, {0, 5, 0, 5})},
                         [](const FilterValues &v) {
                             // A colour wheel centred on the origin: hue by angle, saturation by radius.
                             const double r = std::max(1e-3, v.number("inputRadius")), val = v.number("inputValue"),
                                          soft = v.number("inputSoftness");
                             return kernels::generator(Rect(-r, -r, 2 * r, 2 * r), [=](double x, double y, float *o) {
                                 const double d = fastHypot(x, y) / r;
                                 const double h = (std::atan2(y, x) / (2 * M_PI) + 1.0);
                                 const double s = std::min(1.0, d);
                                 const double hh = (h - std::floor(h)) * 6;
                                 const double f = hh - std::floor(hh);
                                 const double p = val * (1 - s), q = val * (1 - s * f), t = val * (1 - s * (1 - f));
                                 double rgb[3];
                                 switch (static_cast<int>(hh) % 6) {
                                 case 0: rgb[0] = val; rgb[1] = t; rgb[2] = p; break;
                                 case 1: rgb[0] = q; rgb[1] = val; rgb[2] = p; break;
                                 case 2: rgb[0] = p; rgb[1] = val; rgb[2] = t; break;
                                 case 3: rgb[0] = p; rgb[1] = q; rgb[2] = val; break;
                                 case 4: rgb[0] = t; rgb[1] = p; rgb[2] = val; break;
                                 default: rgb[0] = val; rgb[1] = p; rgb[2] = q; break;
                                 }
                                 const double a = std::clamp((1.0 - d) * r / std::max(1.0, soft), 0.0, 1.0);
                                 for (int k = 0; k < 3; ++k) o[k] = static_cast<float>(rgb[k] * a);
                                 o[3] = static_cast<float>(a);
                             });
                         }));
}

} // namespace imaging::catalogue
