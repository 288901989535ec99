// Colour adjustments and colour effects: each a colour kernel (pixel in, pixel out).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "imaging/catalogue.h"
#include "imaging/declare.h"

namespace imaging::catalogue {

using namespace declare;

namespace {

// Colour on straight values, clamped to 0..1 afterwards where the formula can leave the range.
template<typename StraightFunction>
Image straight(const Image &in, StraightFunction f)
{
    return kernels::straightColor(in, std::move(f));
}

void rgbToHsv(float r, float g, float b, float &h, float &s, float &v)
{
    const float mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
    v = mx;
    s = mx > 0 ? d / mx : 0;
    if (d <= 0) { h = 0; return; }
    if (mx == r) {
        h = (g - b) / d; // within [-1, 1]: one turn added below 0 is the remainder
        if (h < 0) h += 6.f;
    } else if (mx == g) {
        h = (b - r) / d + 2.f;
    } else {
        h = (r - g) / d + 4.f;
    }
    h /= 6.f;
}

// The hue in turns (any number) with saturation and value as RGB. Branch-free, as neighbouring
// pixels fall in different sixths of the circle: each channel is v less the part of the chroma
// that a trapezoid over the hue takes away.
void hsvToRgb(float h, float s, float v, float &r, float &g, float &b)
{
    // The fraction of a turn; through std::floor only where a cast to int could not hold it.
    float turns = h;
    if (std::abs(turns) < 1 << 22) {
        turns -= static_cast<float>(static_cast<int>(turns));
        if (turns < 0) turns += 1.f;
    } else {
        turns -= std::floor(turns);
    }
    const float h6 = turns * 6.f, chroma = v * s;
    auto channel = [&](float n) {
        float k = n + h6;
        if (k >= 6.f) k -= 6.f;
        return v - chroma * std::clamp(std::min(k, 4.f - k), 0.f, 1.f);
    };
    r = channel(5.f);
    g = channel(3.f);
    b = channel(1.f);
}

float srgbToLinear(float c) { return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f); }
float linearToSrgb(float c) { return c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1 / 2.4f) - 0.055f; }

// A curve over channel values 0..1 tabulated once per filter and read with linear interpolation:
// a power per channel of every pixel would cost more than the rest of a render. Tabulated at
// even steps of x, or of sqrt(x) for curves steep at 0 (a power below 1), where even steps of x
// would miss the bend between the first two entries. Within 2e-5 of the curve for the curves
// below, a fraction of an 8-bit level.
class TabulatedCurve
{
public:
    template<typename Curve>
    TabulatedCurve(Curve f, bool steepAtZero) : m_bySquareRoot(steepAtZero), m_table(size + 1)
    {
        for (int i = 0; i <= size; ++i) {
            const float t = float(i) / size;
            m_table[i] = f(steepAtZero ? t * t : t);
        }
    }
    float operator()(float x) const
    {
        x = std::clamp(x, 0.f, 1.f); // NaN stays NaN through clamp's comparisons: caught below
        const float t = (m_bySquareRoot ? std::sqrt(x) : x) * size;
        if (!(t >= 0)) return m_table[0];
        const int i = std::min(size - 1, static_cast<int>(t));
        return m_table[i] + (m_table[i + 1] - m_table[i]) * (t - float(i));
    }

private:
    static constexpr int size = 8192;
    bool m_bySquareRoot;
    std::vector<float> m_table;
};

// A monotone cubic through five (x, y) points (Fritsch-Carlson tangents), for the tone curve:
// it never overshoots between points, and points on a line give that line exactly.
float toneCurve(const std::array<Vector, 5> &p, float x)
{
    if (x <= p[0].X()) return static_cast<float>(p[0].Y());
    if (x >= p[4].X()) return static_cast<float>(p[4].Y());
    double d[4], m[5];
    for (int i = 0; i < 4; ++i) {
        const double dx = p[i + 1].X() - p[i].X();
        d[i] = dx > 0 ? (p[i + 1].Y() - p[i].Y()) / dx : 0.0;
    }
    m[0] = d[0];
    m[4] = d[3];
    for (int i = 1; i < 4; ++i) m[i] = d[i - 1] * d[i] <= 0 ? 0.0 : (d[i - 1] + d[i]) / 2;
    for (int i = 0; i < 4; ++i) {
        if (d[i] == 0) { m[i] = m[i + 1] = 0; continue; }
        const double a = m[i] / d[i], b = m[i + 1] / d[i], h = a * a + b * b;
        if (h > 9) { const double t = 3 / std::sqrt(h); m[i] = t * a * d[i]; m[i + 1] = t * b * d[i]; }
    }
    for (int i = 0; i < 4; ++i) {
        const double x0 = p[i].X(), x1 = p[i + 1].X();
        if (x <= x1 && x1 > x0) {
            const double h = x1 - x0, t = (x - x0) / h, t2 = t * t, t3 = t2 * t;
            return static_cast<float>((2 * t3 - 3 * t2 + 1) * p[i].Y() + (t3 - 2 * t2 + t) * h * m[i] +
                                      (-2 * t3 + 3 * t2) * p[i + 1].Y() + (t3 - t2) * h * m[i + 1]);
        }
    }
    return x;
}

// Colour of a temperature in kelvin, as a multiplier per channel (normalised to green).
void kelvinToRgb(double k, double &r, double &g, double &b)
{
    k = std::clamp(k, 1000.0, 40000.0) / 100.0;
    r = k <= 66 ? 255 : 329.698727446 * std::pow(k - 60, -0.1332047592);
    g = k <= 66 ? 99.4708025861 * std::log(k) - 161.1195681661 : 288.1221695283 * std::pow(k - 60, -0.0755148492);
    b = k >= 66 ? 255 : (k <= 19 ? 0 : 138.5177312231 * std::log(k - 10) - 305.0447927307);
    r = std::clamp(r, 1.0, 255.0) / 255; g = std::clamp(g, 1.0, 255.0) / 255; b = std::clamp(b, 1.0, 255.0) / 255;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define LUMETTA_COLOR_AVX2 1
const bool hasAvx2 = __builtin_cpu_supports("avx2");

// Invert, two pixels per 256-bit register on processors that have AVX2 (chosen at run time):
// alpha less each colour, alpha kept. Returns how many pixels it did (an even count).
__attribute__((target("avx2"))) int invertAvx2(float *p, int n)
{
    int i = 0;
    for (; i + 2 <= n; i += 2) {
        const __m256 px = _mm256_loadu_ps(p + 4 * i);
        const __m256 alpha = _mm256_permute_ps(px, _MM_SHUFFLE(3, 3, 3, 3));
        _mm256_storeu_ps(p + 4 * i, _mm256_blend_ps(_mm256_sub_ps(alpha, px), px, 0x88));
    }
    return i;
}
#endif

} // namespace

void registerColor(std::vector<FilterDescription> &out)
{
    const QStringList effect{kCICategoryColorEffect, kCICategoryVideo, kCICategoryInterlaced, kCICategoryNonSquarePixels};
    const QStringList adjust{kCICategoryColorAdjustment, kCICategoryVideo, kCICategoryInterlaced, kCICategoryNonSquarePixels};

    out.push_back(filter("CIColorInvert", "Color Invert", effect, {image()}, [](const FilterValues &v) {
        // In premultiplied form 1 - c/a, premultiplied again, is a - c: exact and division-free.
        return kernels::color(v.image("inputImage"), [](float *p, int n, int, int) {
            typedef float v4f __attribute__((vector_size(16)));
            typedef int v4i __attribute__((vector_size(16)));
            int i = 0;
#ifdef LUMETTA_COLOR_AVX2
            if (hasAvx2) i = invertAvx2(p, n) * 4;
#endif
            for (; i < n * 4; i += 4) {
                v4f px;
                std::memcpy(&px, p + i, sizeof px);
                const v4f alpha = __builtin_shuffle(px, v4i{3, 3, 3, 3});
                v4f out = alpha - px;
                out[3] = px[3];
                std::memcpy(p + i, &out, sizeof out);
            }
        });
    }));

    out.push_back(filter("CIColorControls", "Color Controls", adjust,
                         {image(), scalar("inputSaturation", 1.0, {0, 10, 0, 2}, 1.0),
                          scalar("inputBrightness", 0.0, {-1, 1, -1, 1}, 0.0),
                          scalar("inputContrast", 1.0, {0.25, 4, 0.25, 4}, 1.0)},
                         [](const FilterValues &v) {
                             const float sat = v.f("inputSaturation"), bri = v.f("inputBrightness"), con = v.f("inputContrast");
                             return straight(v.image("inputImage"), [=](float &r, float &g, float &b, float &) {
                                 const float l = luminance(r, g, b);
                                 float c[3] = {r, g, b};
                                 for (float &x : c) {
                                     x = l + (x - l) * sat;
                                     x = (x + bri - 0.5f) * con + 0.5f;
                                     x = clamp01(x);
                                 }
                                 r = c[0]; g = c[1]; b = c[2];
                             });
                         }));

    out.push_back(filter("CIColorMatrix", "Color Matrix", adjust,
                         {image(), vector("inputRVector", {1, 0, 0, 0}), vector("inputGVector", {0, 1, 0, 0}),
                          vector("inputBVector", {0, 0, 1, 0}), vector("inputAVector", {0, 0, 0, 1}),
                          vector("inputBiasVector", {0, 0, 0, 0})},
                         [](const FilterValues &v) {
                             const Vector R = v.vector("inputRVector"), G = v.vector("inputGVector"), B = v.vector("inputBVector"),
                                          A = v.vector("inputAVector"), bias = v.vector("inputBiasVector");
                             // The rows as plain numbers, read once instead of per pixel.
                             struct Row { double w[4]; float bias; };
                             auto row = [&bias](const Vector &w, std::size_t i) {
                                 return Row{{w.value(0), w.value(1), w.value(2), w.value(3)}, float(bias.value(i))};
                             };
                             const Row rows[4] = {row(R, 0), row(G, 1), row(B, 2), row(A, 3)};
                             auto dot = [](const Row &w, float r, float g, float b, float a) {
                                 return static_cast<float>(w.w[0] * r + w.w[1] * g + w.w[2] * b + w.w[3] * a) + w.bias;
                             };
                             return straight(v.image("inputImage"), [rows, dot](float &r, float &g, float &b, float &a) {
                                 const float nr = dot(rows[0], r, g, b, a), ng = dot(rows[1], r, g, b, a);
                                 const float nb = dot(rows[2], r, g, b, a), na = dot(rows[3], r, g, b, a);
                                 r = clamp01(nr); g = clamp01(ng); b = clamp01(nb); a = clamp01(na);
                             });
                         }));

    out.push_back(filter("CIColorMap", "Color Map", effect, {image(), image("inputGradientImage", "Gradient Image", DefaultImage::Ramp)},
                         [](const FilterValues &v) {
                             // The gradient image's bottom row, read left to right by luminance.
                             const Image grad = v.image("inputGradientImage");
                             const Rect ge = grad.extent();
                             if (ge.isEmpty()) return Image();
                             constexpr int n = 256;
                             const Rect row = ge.isInfinite() ? Rect(0, 0, n, 1) : ge;
                             PixelBuffer lut(PixelRect::fromXYWH(0, 0, n, 1));
                             // Sample the gradient at n points along the middle of its extent.
                             const double y = row.y() + row.height() / 2;
                             const Image line = grad.transformed(AffineTransform::translation(-row.x(), -y + 0.5))
                                                    .transformed(AffineTransform::scale(n / row.width(), 1));
                             line.render(lut);
                             std::vector<float> table(lut.data(), lut.data() + n * 4);
                             return kernels::color(v.image("inputImage"), [table](float *p, int count, int, int) {
                                 for (int i = 0; i < count * 4; i += 4) {
                                     const float a = p[i + 3];
                                     if (a <= 0) continue;
                                     const float l = clamp01(luminance(p[i], p[i + 1], p[i + 2]) / a);
                                     const int k = std::min(n - 1, static_cast<int>(l * (n - 1) + 0.5f));
                                     const float *t = &table[k * 4];
                                     // The map's colour with the pixel's own alpha.
                                     const float ta = t[3] > 0 ? t[3] : 1.f;
                                     for (int c = 0; c < 3; ++c) p[i + c] = t[c] / ta * a;
                                 }
                             });
                         }));

    out.push_back(filter("CIColorMonochrome", "Color Monochrome", effect,
                         {image(), color("inputColor", {0.6, 0.45, 0.3, 1}), scalar("inputIntensity", 1.0, {0, 1, 0, 1}, 0.0)},
                         [](const FilterValues &v) {
                             const Color c = v.color("inputColor");
                             const float k = v.f("inputIntensity");
                             return straight(v.image("inputImage"), [=](float &r, float &g, float &b, float &) {
                                 // The luma times the colour, mixed with the input by the intensity.
                                 const float l = luminance(r, g, b);
                                 r += (clamp01(l * float(c.red)) - r) * k;
                                 g += (clamp01(l * float(c.green)) - g) * k;
                                 b += (clamp01(l * float(c.blue)) - b) * k;
                             });
                         }));

    out.push_back(filter("CIColorPosterize", "Color Posterize", effect,
                         {image(), scalar("inputLevels", 6.0, {2, 300, 2, 30}, 300.0)},
                         [](const FilterValues &v) {
                             const float levels = std::max(2.f, v.f("inputLevels"));
                             return straight(v.image("inputImage"), [=](float &r, float &g, float &b, float &) {
                                 for (float *x : {&r, &g, &b}) *x = std::floor(clamp01(*x) * (levels - 1) + 0.5f) / (levels - 1);
                             });
                         }));

    out.push_back(filter("CIExposureAdjust", "Exposure Adjust", adjust,
                         {image(), number("inputEV", kCIAttributeTypeScalar, 0.5, {-10, 10, -10, 10}, 0.0, "EV")},
                         [](const FilterValues &v) {
                             // An EV is a stop of light: the gain applies to linear values, not to
                             // the encoded ones (+1 EV takes mid-grey 128 to 176, not 255).
                             const float k = std::pow(2.f, v.f("inputEV"));
                             const TabulatedCurve curve([k](float x) { return linearToSrgb(clamp01(srgbToLinear(x) * k)); }, false);
                             return straight(v.image("inputImage"), [curve](float &r, float &g, float &b, float &) {
                                 r = curve(r); g = curve(g); b = curve(b);
                             });
                         }));

    out.push_back(filter("CIFalseColor", "False Color", effect,
                         {image(), color("inputColor0", {0.3, 0, 0, 1}), color("inputColor1", {1, 0.9, 0.8, 1})},
                         [](const FilterValues &v) {
                             const Color a = v.color("inputColor0"), b = v.color("inputColor1");
                             return straight(v.image("inputImage"), [=](float &r, float &g, float &bl, float &) {
                                 const float l = clamp01(luminance(r, g, bl));
                                 r = float(a.red + (b.red - a.red) * l);
                                 g = float(a.green + (b.green - a.green) * l);
                                 bl = float(a.blue + (b.blue - a.blue) * l);
                             });
                         }));

    out.push_back(filter("CIGammaAdjust", "Gamma Adjust", adjust,
                         {image(), scalar("inputPower", 0.75, {0.01, 10, 0.25, 4}, 1.0)},
                         [](const FilterValues &v) {
                             const float p = v.f("inputPower");
                             // Below a power of 1/2 the curve is too steep at 0 even along sqrt(x).
                             if (!(p >= 0.5f))
                                 return straight(v.image("inputImage"), [=](float &r, float &g, float &b, float &) {
                                     r = std::pow(clamp01(r), p); g = std::pow(clamp01(g), p); b = std::pow(clamp01(b), p);
                                 });
                             const TabulatedCurve curve([p](float x) { return std::pow(x, p); }, p < 1);
                             return straight(v.image("inputImage"), [curve](float &r, float &g, float &b, float &) {
                                 r = curve(r); g = curve(g); b = curve(b);
                             });
                         }));

    out.push_back(filter("CIHueAdjust", "Hue Adjust", adjust, {image(), angle("inputAngle", 0.0)},
                         [](const FilterValues &v) {
                             const float turn = static_cast<float>(v.number("inputAngle") / (2 * M_PI));
                             return straight(v.image("inputImage"), [=](float &r, float &g, float &b, float &) {
                                 float h, s, val;
                                 rgbToHsv(clamp01(r), clamp01(g), clamp01(b), h, s, val);
                                 hsvToRgb(h + turn, s, val, r, g, b);
                             });
                         }));

    out.push_back(filter("CISepiaTone", "Sepia Tone", effect,
                         {image(), scalar("inputIntensity", 1.0, {0, 1, 0, 1}, 0.0)},
                         [](const FilterValues &v) {
                             const float k = v.f("inputIntensity");
                             return straight(v.image("inputImage"), [=](float &r, float &g, float &b, float &) {
                                 const float sr = clamp01(0.393f * r + 0.769f * g + 0.189f * b);
                                 const float sg = clamp01(0.349f * r + 0.686f * g + 0.168f * b);
                                 const float sb = clamp01(0.272f * r + 0.534f * g + 0.131f * b);
                                 r += (sr - r) * k; g += (sg - g) * k; b += (sb - b) * k;
                             });
                         }));

    out.push_back(filter("CIVibrance", "Vibrance", adjust, {image(), scalar("inputAmount", 0.0, {-1, 1, -1, 1}, 0.0)},
                         [](const FilterValues &v) {
                             const float amount = v.f("inputAmount");
                             return straight(v.image("inputImage"), [=](float &r, float &g, float &b, float &) {
                                 // Raises the saturation of dull colours more than that of vivid ones.
                                 const float mx = std::max({r, g, b}), mn = std::min({r, g, b});
                                 const float sat = mx - mn, l = luminance(r, g, b);
                                 const float k = 1.f + amount * (1.f - sat);
                                 r = clamp01(l + (r - l) * k); g = clamp01(l + (g - l) * k); b = clamp01(l + (b - l) * k);
                             });
                         }));

    out.push_back(filter("CIWhitePointAdjust", "White Point Adjust", adjust, {image(), color("inputColor", {1, 1, 1, 1})},
                         [](const FilterValues &v) {
                             const Color c = v.color("inputColor");
                             return straight(v.image("inputImage"), [=](float &r, float &g, float &b, float &) {
                                 r = clamp01(r * float(c.red)); g = clamp01(g * float(c.green)); b = clamp01(b * float(c.blue));
                             });
                         }));

    out.push_back(filter("CITemperatureAndTint", "Temperature and Tint", adjust,
                         {image(), offset("inputNeutral", {6500, 0}), offset("inputTargetNeutral", {6500, 0})},
                         [](const FilterValues &v) {
                             // Balance from the neutral's colour temperature (and green-magenta tint) to
                             // the target's, as per-channel gains.
                             const Vector n = v.vector("inputNeutral"), t = v.vector("inputTargetNeutral");
                             double nr, ng, nb, tr, tg, tb;
                             kelvinToRgb(n.X(), nr, ng, nb);
                             kelvinToRgb(t.X(), tr, tg, tb);
                             const float gr = float(nr / tr), gg = float(ng / tg * std::pow(2.0, (t.Y() - n.Y()) / 150.0)),
                                         gb = float(nb / tb);
                             const float norm = 1.f / std::max({gr, gg, gb, 1e-6f});
                             const bool same = n.X() == t.X() && n.Y() == t.Y();
                             return straight(v.image("inputImage"), [=](float &r, float &g, float &b, float &) {
                                 if (same) return;
                                 r = clamp01(r * gr * norm * 1.0f); g = clamp01(g * gg * norm); b = clamp01(b * gb * norm);
                             });
                         }));

    out.push_back(filter("CIToneCurve", "Tone Curve", adjust,
                         {image(), vector("inputPoint0", {0, 0}), vector("inputPoint1", {0.25, 0.25}),
                          vector("inputPoint2", {0.5, 0.5}), vector("inputPoint3", {0.75, 0.75}), vector("inputPoint4", {1, 1})},
                         [](const FilterValues &v) {
                             std::array<Vector, 5> p{v.vector("inputPoint0"), v.vector("inputPoint1"), v.vector("inputPoint2"),
                                                     v.vector("inputPoint3"), v.vector("inputPoint4")};
                             std::sort(p.begin(), p.end(), [](const Vector &a, const Vector &b) { return a.X() < b.X(); });
                             std::vector<float> lut(1024);
                             for (int i = 0; i < 1024; ++i) lut[i] = clamp01(toneCurve(p, i / 1023.f));
                             return straight(v.image("inputImage"), [lut](float &r, float &g, float &b, float &) {
                                 for (float *x : {&r, &g, &b}) *x = lut[static_cast<int>(clamp01(*x) * 1023.f + 0.5f)];
                             });
                         }));

    out.push_back(filter("CIMaximumComponent", "Maximum Component", effect, {image()}, [](const FilterValues &v) {
        return straight(v.image("inputImage"), [](float &r, float &g, float &b, float &) { r = g = b = std::max({r, g, b}); });
    }));

    out.push_back(filter("CIMinimumComponent", "Minimum Component", effect, {image()}, [](const FilterValues &v) {
        return straight(v.image("inputImage"), [](float &r, float &g, float &b, float &) { r = g = b = std::min({r, g, b}); });
    }));

    out.push_back(filter("CIPhotoEffectMono", "Photo Effect Mono", effect, {image()}, [](const FilterValues &v) {
        return straight(v.image("inputImage"), [](float &r, float &g, float &b, float &) {
            r = g = b = clamp01(luminance(r, g, b) * 1.05f - 0.02f);
        });
    }));

    out.push_back(filter("CIPhotoEffectNoir", "Photo Effect Noir", effect, {image()}, [](const FilterValues &v) {
        return straight(v.image("inputImage"), [](float &r, float &g, float &b, float &) {
            const float l = luminance(r, g, b);
            r = g = b = static_cast<float>(smoothstep(0.08, 0.92, l));
        });
    }));

    out.push_back(filter("CIVignette", "Vignette", effect,
                         {image(), scalar("inputIntensity", 1.0, {-1, 1, -1, 1}, 0.0), scalar("inputRadius", 1.0, {0, 2, 0, 2}, 0.0)},
                         [](const FilterValues &v) {
                             const Image in = v.image("inputImage");
                             const Rect e = in.extent();
                             if (e.isEmpty() || e.isInfinite()) return in;
                             const double cx = e.x() + e.width() / 2, cy = e.y() + e.height() / 2;
                             const double half = fastHypot(e.width(), e.height()) / 2;
                             const float k = v.f("inputIntensity"), rad = v.f("inputRadius");
                             return kernels::color(in, [=](float *p, int n, int x0, int y) {
                                 for (int i = 0; i < n; ++i) {
                                     const double d = fastHypot(x0 + i + 0.5 - cx, y + 0.5 - cy) / half;
                                     const float fall = static_cast<float>(smoothstep(0.4 * rad, 1.0 * rad + 0.8, d));
                                     const float m = std::clamp(1.f - k * fall, 0.f, 2.f);
                                     for (int c = 0; c < 3; ++c) p[i * 4 + c] = std::min(p[i * 4 + c] * m, p[i * 4 + 3]);
                                 }
                             });
                         }));

    out.push_back(filter("CIVignetteEffect", "Vignette Effect", effect,
                         {image(), position("inputCenter", {150, 150}), distance("inputRadius", 150, {0, 5000, 0, 2000}, 0.0),
                          scalar("inputIntensity", 1.0, {-1, 1, -1, 1}, 0.0), scalar("inputFalloff", 0.5, {0, 1, 0, 1})},
                         [](const FilterValues &v) {
                             const Vector c = v.vector("inputCenter");
                             const double r = v.number("inputRadius"), fall = v.number("inputFalloff");
                             const float k = v.f("inputIntensity");
                             return kernels::color(v.image("inputImage"), [=](float *p, int n, int x0, int y) {
                                 for (int i = 0; i < n; ++i) {
                                     const double d = fastHypot(x0 + i + 0.5 - c.X(), y + 0.5 - c.Y());
                                     const float t = static_cast<float>(smoothstep(r, r * (1.0 + 2.0 * fall) + 1.0, d));
                                     const float m = std::clamp(1.f - k * t, 0.f, 2.f);
                                     for (int ch = 0; ch < 3; ++ch) p[i * 4 + ch] = std::min(p[i * 4 + ch] * m, p[i * 4 + 3]);
                                 }
                             });
                         }));

    out.push_back(filter("CIColorClamp", "Color Clamp", adjust,
                         {image(), vector("inputMinComponents", {0, 0, 0, 0}), vector("inputMaxComponents", {1, 1, 1, 1})},
                         [](const FilterValues &v) {
                             const Vector lo = v.vector("inputMinComponents"), hi = v.vector("inputMaxComponents");
                             return straight(v.image("inputImage"), [=](float &r, float &g, float &b, float &a) {
                                 r = std::clamp(r, float(lo.value(0)), std::max(float(lo.value(0)), float(hi.value(0))));
                                 g = std::clamp(g, float(lo.value(1)), std::max(float(lo.value(1)), float(hi.value(1))));
                                 b = std::clamp(b, float(lo.value(2)), std::max(float(lo.value(2)), float(hi.value(2))));
                                 a = std::clamp(a, float(lo.value(3)), std::max(float(lo.value(3)), float(hi.value(3))));
                             });
                         }));

    out.push_back(filter("CIColorPolynomial", "Color Polynomial", adjust,
                         {image(), vector("inputRedCoefficients", {0, 1, 0, 0}), vector("inputGreenCoefficients", {0, 1, 0, 0}),
                          vector("inputBlueCoefficients", {0, 1, 0, 0}), vector("inputAlphaCoefficients", {0, 1, 0, 0})},
                         [](const FilterValues &v) {
                             const Vector R = v.vector("inputRedCoefficients"), G = v.vector("inputGreenCoefficients"),
                                          B = v.vector("inputBlueCoefficients"), A = v.vector("inputAlphaCoefficients");
                             auto poly = [](const Vector &k, float x) {
                                 return clamp01(float(k.value(0) + x * (k.value(1) + x * (k.value(2) + x * k.value(3)))));
                             };
                             return straight(v.image("inputImage"), [=](float &r, float &g, float &b, float &a) {
                                 r = poly(R, r); g = poly(G, g); b = poly(B, b); a = poly(A, a);
                             });
                         }));

    out.push_back(filter("CILinearToSRGBToneCurve", "Linear to sRGB Tone Curve", adjust, {image()}, [](const FilterValues &v) {
        const TabulatedCurve curve(linearToSrgb, true);
        return straight(v.image("inputImage"), [curve](float &r, float &g, float &b, float &) {
            r = curve(r); g = curve(g); b = curve(b);
        });
    }));

    out.push_back(filter("CISRGBToneCurveToLinear", "sRGB Tone Curve to Linear", adjust, {image()}, [](const FilterValues &v) {
        const TabulatedCurve curve(srgbToLinear, false);
        return straight(v.image("inputImage"), [curve](float &r, float &g, float &b, float &) {
            r = curve(r); g = curve(g); b = curve(b);
        });
    }));
}

} // namespace imaging::catalogue
