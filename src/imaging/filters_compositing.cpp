// Compositing operators and blend modes: blend kernels of a source ("inputImage") over a
// background ("inputBackgroundImage"), on premultiplied colour.
#include <algorithm>
#include <cmath>

#include "imaging/catalogue.h"
#include "imaging/declare.h"

namespace imaging::catalogue {

using namespace declare;

namespace {

using Separable = float (*)(float cb, float cs); // straight background and source colour -> blended

// The general blend: co = cs (1 - ab) + cb (1 - as) + as ab B(Cb, Cs), ao = as + ab - as ab, where cs, cb
// are premultiplied and Cs, Cb straight.
kernels::BlendFunction separable(Separable B)
{
    return [B](const float *s, const float *b, float *o, int n) {
        for (int i = 0; i < n * 4; i += 4) {
            const float as = s[i + 3], ab = b[i + 3];
            float res[4];
            for (int c = 0; c < 3; ++c) {
                const float Cs = as > 0 ? s[i + c] / as : 0.f, Cb = ab > 0 ? b[i + c] / ab : 0.f;
                res[c] = s[i + c] * (1 - ab) + b[i + c] * (1 - as) + as * ab * B(Cb, Cs);
            }
            res[3] = as + ab - as * ab;
            for (int c = 0; c < 4; ++c) o[i + c] = res[c];
        }
    };
}

float lum(const float *c) { return 0.3f * c[0] + 0.59f * c[1] + 0.11f * c[2]; }
void clipColor(float *c)
{
    const float l = lum(c), n = std::min({c[0], c[1], c[2]}), x = std::max({c[0], c[1], c[2]});
    for (int k = 0; k < 3; ++k) {
        if (n < 0) c[k] = l + (c[k] - l) * l / (l - n);
        if (x > 1) c[k] = l + (c[k] - l) * (1 - l) / (x - l);
    }
}
void setLum(float *c, float l)
{
    const float d = l - lum(c);
    for (int k = 0; k < 3; ++k) c[k] += d;
    clipColor(c);
}
float sat(const float *c) { return std::max({c[0], c[1], c[2]}) - std::min({c[0], c[1], c[2]}); }
void setSat(float *c, float s)
{
    int mx = 0, mn = 0;
    for (int k = 1; k < 3; ++k) {
        if (c[k] > c[mx]) mx = k;
        if (c[k] < c[mn]) mn = k;
    }
    if (mx == mn) { c[0] = c[1] = c[2] = 0; return; }
    const int mid = 3 - mx - mn;
    c[mid] = (c[mid] - c[mn]) * s / (c[mx] - c[mn]);
    c[mx] = s;
    c[mn] = 0;
}

enum class NonSeparable { Hue, Saturation, Color, Luminosity };
kernels::BlendFunction nonSeparable(NonSeparable mode)
{
    return [mode](const float *s, const float *b, float *o, int n) {
        for (int i = 0; i < n * 4; i += 4) {
            const float as = s[i + 3], ab = b[i + 3];
            float Cs[3], Cb[3];
            for (int c = 0; c < 3; ++c) {
                Cs[c] = as > 0 ? s[i + c] / as : 0.f;
                Cb[c] = ab > 0 ? b[i + c] / ab : 0.f;
            }
            float B[3];
            switch (mode) {
            case NonSeparable::Hue: std::copy(Cs, Cs + 3, B); setSat(B, sat(Cb)); setLum(B, lum(Cb)); break;
            case NonSeparable::Saturation: std::copy(Cb, Cb + 3, B); setSat(B, sat(Cs)); setLum(B, lum(Cb)); break;
            case NonSeparable::Color: std::copy(Cs, Cs + 3, B); setLum(B, lum(Cb)); break;
            case NonSeparable::Luminosity: std::copy(Cb, Cb + 3, B); setLum(B, lum(Cs)); break;
            }
            for (int c = 0; c < 3; ++c) o[i + c] = s[i + c] * (1 - ab) + b[i + c] * (1 - as) + as * ab * B[c];
            o[i + 3] = as + ab - as * ab;
        }
    };
}

// Per-component operators on premultiplied colour (Porter-Duff and friends).
template <typename F>
kernels::BlendFunction componentwise(F f)
{
    return [f](const float *s, const float *b, float *o, int n) {
        for (int i = 0; i < n * 4; i += 4) {
            const float as = s[i + 3], ab = b[i + 3];
            for (int c = 0; c < 4; ++c) o[i + c] = f(s[i + c], b[i + c], as, ab);
        }
    };
}

} // namespace

void registerCompositing(std::vector<FilterDescription> &out)
{
    const QStringList cats{kCICategoryCompositeOperation, kCICategoryVideo, kCICategoryInterlaced, kCICategoryNonSquarePixels};
    auto add = [&](const char *name, const char *display, kernels::BlendFunction f) {
        out.push_back(filter(name, display, cats, {image(), image("inputBackgroundImage", "Background Image")},
                             [f](const FilterValues &v) {
                                 return kernels::blend(v.image("inputImage"), v.image("inputBackgroundImage"), f);
                             }));
    };

    add("CISourceOverCompositing", "Source Over",
        componentwise([](float s, float b, float as, float) { return s + b * (1 - as); }));
    add("CISourceAtopCompositing", "Source Atop",
        componentwise([](float s, float b, float as, float ab) { return s * ab + b * (1 - as); }));
    add("CISourceInCompositing", "Source In", componentwise([](float s, float, float, float ab) { return s * ab; }));
    add("CISourceOutCompositing", "Source Out", componentwise([](float s, float, float, float ab) { return s * (1 - ab); }));
    add("CIAdditionCompositing", "Addition", componentwise([](float s, float b, float, float) { return std::min(1.f, s + b); }));
    add("CIMultiplyCompositing", "Multiply", componentwise([](float s, float b, float, float) { return s * b; }));
    add("CIMinimumCompositing", "Minimum", componentwise([](float s, float b, float, float) { return std::min(s, b); }));
    add("CIMaximumCompositing", "Maximum", componentwise([](float s, float b, float, float) { return std::max(s, b); }));

    add("CIMultiplyBlendMode", "Multiply Blend Mode", separable([](float b, float s) { return b * s; }));
    add("CIScreenBlendMode", "Screen Blend Mode", separable([](float b, float s) { return b + s - b * s; }));
    add("CIOverlayBlendMode", "Overlay Blend Mode", separable([](float b, float s) {
            return b <= 0.5f ? 2 * s * b : 1 - 2 * (1 - s) * (1 - b);
        }));
    add("CIDarkenBlendMode", "Darken Blend Mode", separable([](float b, float s) { return std::min(b, s); }));
    add("CILightenBlendMode", "Lighten Blend Mode", separable([](float b, float s) { return std::max(b, s); }));
    add("CIColorDodgeBlendMode", "Color Dodge Blend Mode", separable([](float b, float s) {
            if (b <= 0) return 0.f;
            if (s >= 1) return 1.f;
            return std::min(1.f, b / (1 - s));
        }));
    add("CIColorBurnBlendMode", "Color Burn Blend Mode", separable([](float b, float s) {
            if (b >= 1) return 1.f;
            if (s <= 0) return 0.f;
            return 1 - std::min(1.f, (1 - b) / s);
        }));
    add("CISoftLightBlendMode", "Soft Light Blend Mode", separable([](float b, float s) {
            if (s <= 0.5f) return b - (1 - 2 * s) * b * (1 - b);
            const float d = b <= 0.25f ? ((16 * b - 12) * b + 4) * b : std::sqrt(b);
            return b + (2 * s - 1) * (d - b);
        }));
    add("CIHardLightBlendMode", "Hard Light Blend Mode", separable([](float b, float s) {
            return s <= 0.5f ? 2 * s * b : 1 - 2 * (1 - s) * (1 - b);
        }));
    add("CIDifferenceBlendMode", "Difference Blend Mode", separable([](float b, float s) { return std::abs(b - s); }));
    add("CIExclusionBlendMode", "Exclusion Blend Mode", separable([](float b, float s) { return b + s - 2 * b * s; }));
    add("CISubtractBlendMode", "Subtract Blend Mode", separable([](float b, float s) { return std::max(0.f, b - s); }));
    add("CIHueBlendMode", "Hue Blend Mode", nonSeparable(NonSeparable::Hue));
    add("CISaturationBlendMode", "Saturation Blend Mode", nonSeparable(NonSeparable::Saturation));
    add("CIColorBlendMode", "Color Blend Mode", nonSeparable(NonSeparable::Color));
    add("CILuminosityBlendMode", "Luminosity Blend Mode", nonSeparable(NonSeparable::Luminosity));
}

} // namespace imaging::catalogue
