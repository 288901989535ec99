#pragma once

#include <cmath>
#include <numbers>

#include "imaging/filterdescription.h"
#include "imaging/filtervalues.h"
#include "imaging/kernels.h"
#include "imaging/values.h"

// Shorthands for the catalogue's declaration blocks: each input is written once with its class,
// type, default and ranges; display names default to the key without "input", words split.
namespace imaging::declare {

QString displayNameForKey(const QString &key);

struct Range
{
    double min, max, sliderMin, sliderMax;
};

// `defaultImage` names the picture from the program's resources the input starts with, if any.
InputDescription image(const QString &key = QStringLiteral("inputImage"), const QString &displayName = {},
                       DefaultImage defaultImage = DefaultImage::None);
// An image input the filter repeats over the plane.
InputDescription texture(const QString &key, const QString &displayName, DefaultImage defaultImage = DefaultImage::None);
InputDescription number(const QString &key, const QString &type, double def, Range r,
                        std::optional<double> identity = std::nullopt, const QString &displayName = {});
InputDescription scalar(const QString &key, double def, Range r, std::optional<double> identity = std::nullopt);
InputDescription distance(const QString &key, double def, Range r, std::optional<double> identity = std::nullopt);
InputDescription angle(const QString &key, double def, Range r = {-M_PI, M_PI, -M_PI, M_PI},
                       std::optional<double> identity = 0.0);
InputDescription time(const QString &key = QStringLiteral("inputTime"), double def = 0.0);
InputDescription boolean(const QString &key, bool def);
InputDescription color(const QString &key, const Color &def, const QString &displayName = {});
InputDescription position(const QString &key, const Vector &def);
InputDescription position3(const QString &key, const Vector &def);
InputDescription rectangle(const QString &key, const Vector &def);
InputDescription offset(const QString &key, const Vector &def);
InputDescription vector(const QString &key, const Vector &def);
InputDescription transform(const QString &key, const AffineTransform &def);
// A transform given in the six-value vector form (m11 m12 m21 m22 tX tY).
InputDescription transformVector(const QString &key, const AffineTransform &def);

FilterDescription filter(const QString &name, const QString &displayName, QStringList categories,
                         std::vector<InputDescription> inputs, std::function<Image(const FilterValues &)> build);
// The filter with a pattern whose finest detail is the value of input `key` (a screen's width, a
// cell's size) times `factor`, or one pixel when that is less.
FilterDescription patterned(FilterDescription d, const QString &key, double factor = 1.0);
// The filter works on neighbourhoods of a fixed number of pixels (a 3 x 3 median, outlines two
// pixels wide): its finest detail is `pixels` whatever its values, so a reduced preview renders it
// finer and averages down instead of applying it to structures many times larger.
FilterDescription pixelSized(FilterDescription d, double pixels);

// Small helpers the kernels share.
// Length of (x, y) without std::hypot's overflow care, which costs more than the rest of a
// typical per-pixel formula; kernel coordinates are far from overflowing.
inline double fastHypot(double x, double y) { return std::sqrt(x * x + y * y); }
inline float clamp01(float v) { return v < 0.f ? 0.f : (v > 1.f ? 1.f : v); }
inline float luminance(float r, float g, float b) { return 0.2126f * r + 0.7152f * g + 0.0722f * b; }
inline double smoothstep(double e0, double e1, double x)
{
    if (e1 == e0) return x < e0 ? 0.0 : 1.0;
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}
// Premultiplied colour of a straight Color.
inline void premultiplied(const Color &c, float *out)
{
    const float a = static_cast<float>(c.alpha);
    out[0] = static_cast<float>(c.red) * a; out[1] = static_cast<float>(c.green) * a;
    out[2] = static_cast<float>(c.blue) * a; out[3] = a;
}
// Linear mix of two premultiplied colours.
inline void mix(const float *a, const float *b, float t, float *out)
{
    for (int i = 0; i < 4; ++i) out[i] = a[i] + (b[i] - a[i]) * t;
}

} // namespace imaging::declare
