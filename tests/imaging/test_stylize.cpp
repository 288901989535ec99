// Stylize filters that blur the luminance inside their own kernels: the same results as the
// formulas built from separate colour blurs, across tile borders and at the picture's edges.
#include <algorithm>

#include <gtest/gtest.h>

#include "imaging/blurs.h"
#include "imaging/declare.h"
#include "imaging/filter.h"
#include "imaging/kernels.h"
#include "imaging/qimageadapter.h"
#include "testimages.h"

using namespace imaging;
using declare::clamp01;
using declare::luminance;

namespace {

// Larger than one tile in both directions, so that tile borders fall inside.
QImage picture() { return testimages::pattern(300, 280); }

Image run(const char *name, const Image &in, const QVariantMap &values = {})
{
    auto f = Filter::filterWithName(name);
    f->setValue(QVariant::fromValue(in), "inputImage");
    for (auto it = values.cbegin(); it != values.cend(); ++it) f->setValue(it.value(), it.key());
    return f->outputImage();
}

} // namespace

TEST(Stylize, ComicEffectIsLevelsUnderDifferenceOfGaussianOutlines)
{
    const Image in = imageFromQImage(picture());
    const Image fine = blurs::gaussian(in, 1.0), coarse = blurs::gaussian(in, 2.0);
    const Image lines = kernels::blend(fine, coarse, [](const float *f, const float *c, float *o, int n) {
        for (int i = 0; i < n * 4; i += 4) o[i] = o[i + 1] = o[i + 2] = o[i + 3] = clamp01((luminance(c[i], c[i + 1], c[i + 2]) - luminance(f[i], f[i + 1], f[i + 2])) * 14.f);
    });
    const Image expected = kernels::blend(in, lines, [](const float *s, const float *e, float *o, int n) {
        for (int i = 0; i < n * 4; i += 4) {
            const float a = s[i + 3], ink = 1.f - clamp01(e[i] * 1.5f);
            for (int c = 0; c < 3; ++c) o[i + c] = std::round(clamp01(s[i + c] / a * 1.1f) * 3.f) / 3.f * ink * a;
            o[i + 3] = a;
        }
    }).cropped(in.extent());
    EXPECT_LE(testimages::maxChannelDifference(renderToQImage(run("CIComicEffect", in), in.extent()), renderToQImage(expected, in.extent())), 1);
}

TEST(Stylize, ShadedMaterialShowsTheShadingAtTheNormalOfTheBlurredLuminance)
{
    const Image in = imageFromQImage(picture());
    const Image shade = imageFromQImage(testimages::pattern(64, 48));
    const double scale = 25;
    const Rect se = shade.extent();
    kernels::General g;
    g.inputs = {blurs::gaussian(in, 1.0), shade};
    g.extent = in.extent();
    g.roi = [se](int i, const Rect &r) { return i == 0 ? r.adjusted(1) : se; };
    g.compute = [=](const std::vector<PixelBuffer> &inputs, PixelBuffer &o) {
        const PixelBuffer &h = inputs[0], &s = inputs[1];
        auto H = [&](int x, int y) { const float *p = h.pixel(x, y); return luminance(p[0], p[1], p[2]); };
        for (int y = o.rect().y0; y < o.rect().y1; ++y)
            for (int x = o.rect().x0; x < o.rect().x1; ++x) {
                double nx = -(H(x + 1, y) - H(x - 1, y)) * 0.5 * scale, ny = -(H(x, y + 1) - H(x, y - 1)) * 0.5 * scale;
                const double len = std::sqrt(nx * nx + ny * ny + 1);
                float *d = o.pixel(x, y);
                s.sampleBilinearClamped(32 + nx / len * 31, 24 + ny / len * 23, d);
                for (int c = 0; c < 4; ++c) d[c] *= std::min(1.f, h.pixel(x, y)[3]);
            }
    };
    const Image result = run("CIShadedMaterial", in, {{"inputShadingImage", QVariant::fromValue(shade)}, {"inputScale", scale}});
    EXPECT_LE(testimages::maxChannelDifference(renderToQImage(result, in.extent()), renderToQImage(kernels::general(std::move(g)), in.extent())), 1);
}

// The edges are the Sobel gradient's length per channel: on ramps of known slope, across tile
// borders, each channel shows its own slope along x, along y, or both.
TEST(Stylize, EdgesAreTheSobelGradientOfEachChannel)
{
    // Red rises along x, green along y, blue along both; opaque.
    const Image ramps = kernels::generator(Rect(0, 0, 600, 520), [](double x, double y, float *o) {
        o[0] = static_cast<float>(0.001 * x);
        o[1] = static_cast<float>(0.0005 * y);
        o[2] = static_cast<float>(0.0003 * x + 0.0004 * y);
        o[3] = 1.f;
    });
    const Image e = run("CIEdges", ramps, {{"inputIntensity", 2.0}});
    PixelBuffer out(PixelRect{200, 200, 330, 300});
    e.render(out);
    float worst = 0;
    for (int y = out.rect().y0; y < out.rect().y1; ++y)
        for (int x = out.rect().x0; x < out.rect().x1; ++x) {
            // A slope s along one axis gives a Sobel sum of 8 s; the intensity doubles it.
            const float *p = out.pixel(x, y);
            const float expected[4] = {0.016f, 0.008f, static_cast<float>(16 * std::hypot(0.0003, 0.0004)), 1.f};
            for (int c = 0; c < 4; ++c) worst = std::max(worst, std::abs(p[c] - expected[c]));
        }
    EXPECT_LT(worst, 1e-5f);
}
