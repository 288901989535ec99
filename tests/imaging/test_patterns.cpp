#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "imaging/filter.h"
#include "imaging/qimageadapter.h"
#include "imaging/renderer.h"
#include "testimages.h"

using namespace imaging;

namespace {

// Stripes or squares from white to black with the given geometry, rendered in float.
PixelBuffer stripes(const char *name, Vector centre, double width, double sharpness, const PixelRect &where)
{
    auto f = Filter::filterWithName(name);
    EXPECT_TRUE(f);
    f->setValue(QVariant::fromValue(centre), "inputCenter");
    f->setValue(width, "inputWidth");
    f->setValue(sharpness, "inputSharpness");
    return Renderer::render(f->outputImage(), where);
}

// The stripe profile as documented: colour 1's weight is 0 in even cells and 1 in odd ones,
// changing linearly over (1 - sharpness) of a cell centred on every boundary.
double profileAt(double t, double sharpness)
{
    const double boundary = std::round(t), soft = (1 - sharpness) / 2;
    const double left = std::abs(std::fmod(boundary - 1, 2.0)), right = std::abs(std::fmod(boundary, 2.0));
    const double across = soft > 0 ? std::clamp((t - boundary) / (2 * soft) + 0.5, 0.0, 1.0) : (t < boundary ? 0.0 : 1.0);
    return left + (right - left) * across;
}

} // namespace

TEST(Patterns, StripesAndSquaresFinerThanAPixelShowTheirMeanTone)
{
    // A hundred cells per pixel: whatever their phase, every pixel is within half a percent of
    // the even mix, where sampling one point per pixel would give pure black or white.
    for (const char *name : {"CIStripesGenerator", "CICheckerboardGenerator"}) {
        SCOPED_TRACE(name);
        const PixelBuffer out = stripes(name, {3.3, 7.1}, 0.01, 1.0, PixelRect::fromXYWH(0, 0, 40, 30));
        float worst = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) worst = std::max(worst, std::abs(out.pixel(x, y)[0] - 0.5f));
        EXPECT_LT(worst, 0.006f);
    }
}

TEST(Patterns, HardEdgesInsidePixelsMixTheColoursByArea)
{
    // Stripe edge at x = 150.25: pixel 150 is a quarter black (the cell left of the centre) and
    // three quarters white.
    const PixelBuffer s = stripes("CIStripesGenerator", {150.25, 150.75}, 80, 1.0, PixelRect::fromXYWH(148, 148, 4, 4));
    EXPECT_NEAR(s.pixel(150, 150)[0], 0.75f, 1e-5f);
    EXPECT_FLOAT_EQ(s.pixel(149, 150)[0], 0.f);
    EXPECT_FLOAT_EQ(s.pixel(151, 150)[0], 1.f);
    // Corner at (150.25, 150.75) inside pixel (150, 150): of its four parts, the bottom-left
    // (0.25 x 0.75) and top-right (0.75 x 0.25) squares are white.
    const PixelBuffer b = stripes("CICheckerboardGenerator", {150.25, 150.75}, 80, 1.0, PixelRect::fromXYWH(148, 148, 4, 4));
    EXPECT_NEAR(b.pixel(150, 150)[0], 0.375f, 1e-5f);
    EXPECT_NEAR(b.pixel(150, 151)[0], 0.75f, 1e-5f);
    EXPECT_NEAR(b.pixel(149, 150)[0], 0.75f, 1e-5f);
}

TEST(Patterns, SoftEdgesAreThePixelMeanOfTheLinearRamp)
{
    // At every sharpness and a few widths, each pixel equals the documented profile averaged over
    // the pixel (here by 512 samples), which is the profile itself wherever it is linear.
    for (double sharpness : {0.0, 0.3, 0.9, 1.0})
        for (double width : {40.0, 3.0, 0.7}) {
            SCOPED_TRACE(testing::Message() << "sharpness " << sharpness << " width " << width);
            const double cx = 10.37;
            const PixelBuffer s = stripes("CIStripesGenerator", {cx, 0}, width, sharpness, PixelRect::fromXYWH(-60, 0, 160, 1));
            float worst = 0;
            for (int x = -60; x < 100; ++x) {
                double expected = 0;
                for (int k = 0; k < 512; ++k) expected += profileAt((x + (k + 0.5) / 512 - cx) / width, sharpness) / 512;
                // Colour 0 is white, colour 1 black: red is one minus colour 1's weight.
                worst = std::max(worst, std::abs(s.pixel(x, 0)[0] - static_cast<float>(1 - expected)));
            }
            EXPECT_LT(worst, 0.005f); // the samples place each hard edge to 1/512 of a pixel
        }
}

TEST(Patterns, KaleidoscopeFoldsEveryWedgeOntoTheFirst)
{
    // Four mirrored wedges of 45 degrees around a pixel corner: quarter turns and the mirror
    // across the diagonal map pixel centres onto pixel centres, so the result must be unchanged
    // by them; the first half-wedge shows the picture itself.
    const QImage src = testimages::pattern(200, 200);
    auto k = Filter::filterWithName("CIKaleidoscope");
    ASSERT_TRUE(k);
    k->setValue(QVariant::fromValue(imageFromQImage(src)), "inputImage");
    k->setValue(4.0, "inputCount");
    k->setValue(QVariant::fromValue(Vector{100, 100}), "inputCenter");
    k->setValue(0.0, "inputAngle");
    const PixelBuffer out = Renderer::render(k->outputImage(), PixelRect::fromXYWH(40, 40, 120, 120));
    const PixelBuffer in = Renderer::render(imageFromQImage(src), PixelRect::fromXYWH(40, 40, 120, 120));
    float worstTurn = 0, worstMirror = 0, worstFirst = 0;
    for (int y = 40; y < 160; ++y)
        for (int x = 40; x < 160; ++x) {
            const int dx = x - 100, dy = y - 100; // pixel (x, y) spans [dx, dx + 1] from the centre
            const float *p = out.pixel(x, y);
            const float *turned = out.pixel(100 - dy - 1, 100 + dx);
            const float *mirrored = out.pixel(100 + dy, 100 + dx);
            for (int c = 0; c < 4; ++c) {
                worstTurn = std::max(worstTurn, std::abs(p[c] - turned[c]));
                worstMirror = std::max(worstMirror, std::abs(p[c] - mirrored[c]));
                if (dx > dy + 1 && dy > 0) worstFirst = std::max(worstFirst, std::abs(p[c] - in.pixel(x, y)[c]));
            }
        }
    EXPECT_LT(worstTurn, 1e-4f);
    EXPECT_LT(worstMirror, 1e-4f);
    EXPECT_LT(worstFirst, 1e-4f);
}

TEST(Patterns, SunbeamsAndHaloStriationsFollowTheAngleAroundTheCentre)
{
    // The rays and striations are computed without trigonometry; their alpha must still be the
    // formula in the angle theta of each pixel centre about the centre (150, 150).
    const double t = 0.3;
    auto sun = Filter::filterWithName("CISunbeamsGenerator");
    auto halo = Filter::filterWithName("CILenticularHaloGenerator");
    ASSERT_TRUE(sun && halo);
    sun->setValue(t, "inputTime");
    halo->setValue(t, "inputTime");
    halo->setValue(2.0, "inputStriationContrast");
    const PixelRect region = PixelRect::fromXYWH(0, 0, 300, 300);
    const PixelBuffer beams = Renderer::render(sun->outputImage(), region), rings = Renderer::render(halo->outputImage(), region);
    double worstBeams = 0, worstRings = 0;
    for (int y = 1; y < 300; y += 7)
        for (int x = 2; x < 300; x += 5) {
            const double dx = x + 0.5 - 150, dy = y + 0.5 - 150, d = std::hypot(dx, dy), th = std::atan2(dy, dx);
            // Sunbeams at their defaults: sun radius 40, striation radius 2.58, strength 0.5,
            // contrast 1.375.
            const double rays = 0.5 + 0.5 * std::sin(th * 23 + t * 6.283) * std::sin(th * 37 - t * 3.1);
            const double reach = 40 * (1 + 2.58 * std::pow(rays, 1.375));
            const double beam = d < 40 ? 1.0 : std::clamp(std::exp(-(d - 40) / (reach * 0.5)) * (0.5 + 0.5 * rays), 0.0, 1.0);
            worstBeams = std::max(worstBeams, std::abs(beams.pixel(x, y)[3] - beam));
            // Halo at its defaults (radius 70, width 87, overlap 0.77, strength 0.5) but contrast 2:
            // the widest of three rings, striated 40 times around.
            const double striation = 0.5 + 0.5 * std::pow(0.5 + 0.5 * std::sin(th * 40 + t * 6.283), 2.0);
            double ring = 0;
            for (int k = 0; k < 3; ++k)
                ring = std::max(ring, std::max(0.0, 1 - std::abs(d - 70 - 43.5 - (k - 1) * 87 * 0.23 * 0.3) / 43.5) * striation * 0.6);
            worstRings = std::max(worstRings, std::abs(rings.pixel(x, y)[3] - ring));
        }
    EXPECT_LT(worstBeams, 1e-3);
    EXPECT_LT(worstRings, 1e-3);
}
