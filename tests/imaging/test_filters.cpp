#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <functional>

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "imaging/filter.h"
#include "imaging/filterregistry.h"
#include "imaging/filtervalues.h"
#include "imaging/qimageadapter.h"
#include "imaging/renderer.h"
#include "testimages.h"

using namespace imaging;

namespace {

std::shared_ptr<Filter> make(const char *name, const Image &input = Image())
{
    auto f = Filter::filterWithName(name);
    EXPECT_TRUE(f) << name;
    if (f && !input.isNull()) f->setValue(QVariant::fromValue(input), "inputImage");
    return f;
}

// Mean of each channel (0..255) over the image.
std::array<double, 4> mean(const QImage &img)
{
    std::array<double, 4> m{};
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            m[0] += qRed(p); m[1] += qGreen(p); m[2] += qBlue(p); m[3] += qAlpha(p);
        }
    for (double &v : m) v /= double(img.width()) * img.height();
    return m;
}

} // namespace

TEST(ColorKernels, InvertIsExactAndTwiceIsIdentity)
{
    QImage src = testimages::pattern(61, 17);
    src.setPixel(3, 3, qPremultiply(qRgba(200, 100, 50, 128))); // a half-transparent pixel
    const Image img = imageFromQImage(src);
    auto inv = make("CIColorInvert", img);
    const QImage once = qimageFromImage(inv->outputImage());
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            const QRgb p = src.pixel(x, y), q = once.pixel(x, y);
            ASSERT_EQ(qAlpha(q), qAlpha(p));
            ASSERT_EQ(qRed(q), qAlpha(p) - qRed(p)) << x << "," << y;
            ASSERT_EQ(qGreen(q), qAlpha(p) - qGreen(p));
            ASSERT_EQ(qBlue(q), qAlpha(p) - qBlue(p));
        }
    auto again = make("CIColorInvert", inv->outputImage());
    EXPECT_EQ(testimages::maxChannelDifference(qimageFromImage(again->outputImage()), src), 0);
}

namespace {

// The colour of one pixel of `filter` applied to a 2 x 2 picture of colour c.
QRgb onePixel(const char *name, QRgb c, std::initializer_list<std::pair<const char *, QVariant>> values)
{
    auto f = make(name, imageFromQImage(testimages::solid(2, 2, c)));
    for (const auto &[k, v] : values) f->setValue(v, k);
    return qimageFromImage(f->outputImage()).pixel(0, 0);
}

void expectColor(QRgb got, int r, int g, int b, int a = 255)
{
    EXPECT_NEAR(qRed(got), r, 1);
    EXPECT_NEAR(qGreen(got), g, 1);
    EXPECT_NEAR(qBlue(got), b, 1);
    EXPECT_EQ(qAlpha(got), a);
}

} // namespace

TEST(ColorKernels, ExposureMultipliesLinearLightByTwoToTheEV)
{
    // Worked by hand through the sRGB curves: 128 is 0.2159 in linear light, doubled 0.4317,
    // encoded 176; halved 0.1079, encoded 92. 64 is 0.0513, doubled 0.1025, encoded 90.
    const QRgb grey = qRgb(128, 128, 128);
    expectColor(onePixel("CIExposureAdjust", grey, {{"inputEV", 1.0}}), 176, 176, 176);
    expectColor(onePixel("CIExposureAdjust", grey, {{"inputEV", -1.0}}), 92, 92, 92);
    expectColor(onePixel("CIExposureAdjust", qRgb(64, 128, 255), {{"inputEV", 1.0}}), 90, 176, 255);
    expectColor(onePixel("CIExposureAdjust", qRgb(0, 128, 200), {{"inputEV", 0.0}}), 0, 128, 200);
    expectColor(onePixel("CIExposureAdjust", grey, {{"inputEV", 10.0}}), 255, 255, 255);
    expectColor(onePixel("CIExposureAdjust", grey, {{"inputEV", -10.0}}), 1, 1, 1);
    // Half-covered grey 128 brightens as its colour does, its coverage kept.
    expectColor(onePixel("CIExposureAdjust", qPremultiply(qRgba(128, 128, 128, 128)), {{"inputEV", 1.0}}), 88, 88, 88, 128);
}

TEST(ColorKernels, CurvesFollowTheirFormulasAtEveryLevel)
{
    // Every 8-bit level through the curves, as floats: within a small fraction of a level of the
    // formula, also at the dark end where a power below 1 is steepest.
    QImage ramp(256, 1, QImage::Format_RGB32);
    for (int x = 0; x < 256; ++x) ramp.setPixel(x, 0, qRgb(x, x, x));
    const Image input = imageFromQImage(ramp);
    auto toLinear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    auto toSrgb = [](double c) { return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055; };
    const std::vector<std::tuple<const char *, double, std::function<double(double)>>> curves = {
        {"CIGammaAdjust", 0.75, [](double c) { return std::pow(c, 0.75); }},
        {"CIGammaAdjust", 0.5, [](double c) { return std::sqrt(c); }},
        {"CIGammaAdjust", 0.3, [](double c) { return std::pow(c, 0.3); }},
        {"CIGammaAdjust", 2.2, [](double c) { return std::pow(c, 2.2); }},
        {"CIExposureAdjust", 1.0, [&](double c) { return toSrgb(std::min(1.0, toLinear(c) * 2)); }},
        {"CIExposureAdjust", -3.0, [&](double c) { return toSrgb(toLinear(c) / 8); }},
        {"CILinearToSRGBToneCurve", 0, toSrgb},
        {"CISRGBToneCurveToLinear", 0, toLinear}};
    for (const auto &[name, value, formula] : curves) {
        SCOPED_TRACE(std::string(name) + " " + std::to_string(value));
        auto f = make(name, input);
        if (std::string(name) == "CIGammaAdjust") f->setValue(value, "inputPower");
        if (std::string(name) == "CIExposureAdjust") f->setValue(value, "inputEV");
        const PixelBuffer out = Renderer::render(f->outputImage(), PixelRect{0, 0, 256, 1});
        for (int x = 0; x < 256; ++x)
            ASSERT_NEAR(out.pixel(x, 0)[1], formula(x / 255.0), 3e-5) << "level " << x;
    }
}

TEST(ColorKernels, HueTurnsAroundTheColourWheel)
{
    // A third of a turn takes red to green and green to blue; a sixth takes red to yellow. Greys
    // have no hue, no turn changes nothing, and saturation and value stay: a dark orange turned by
    // half, either way, becomes a dark azure of the same strength.
    const double third = 2 * M_PI / 3;
    expectColor(onePixel("CIHueAdjust", qRgb(255, 0, 0), {{"inputAngle", third}}), 0, 255, 0);
    expectColor(onePixel("CIHueAdjust", qRgb(0, 255, 0), {{"inputAngle", third}}), 0, 0, 255);
    expectColor(onePixel("CIHueAdjust", qRgb(255, 0, 0), {{"inputAngle", third / 2}}), 255, 255, 0);
    expectColor(onePixel("CIHueAdjust", qRgb(255, 0, 0), {{"inputAngle", -third / 2}}), 255, 0, 255);
    expectColor(onePixel("CIHueAdjust", qRgb(90, 90, 90), {{"inputAngle", 1.0}}), 90, 90, 90);
    expectColor(onePixel("CIHueAdjust", qRgb(200, 100, 40), {{"inputAngle", 0.0}}), 200, 100, 40);
    expectColor(onePixel("CIHueAdjust", qRgb(160, 100, 40), {{"inputAngle", -M_PI}}), 40, 100, 160);
    expectColor(onePixel("CIHueAdjust", qRgb(160, 100, 40), {{"inputAngle", M_PI}}), 40, 100, 160);
}

TEST(ColorKernels, MonochromeIsLumaTimesTheColourMixedByIntensity)
{
    const QVariant white = QVariant::fromValue(Color(1, 1, 1));
    for (int g : {64, 128, 160, 255})
        expectColor(onePixel("CIColorMonochrome", qRgb(g, g, g), {{"inputColor", white}, {"inputIntensity", 1.0}}), g, g, g);
    // Pure red has luma 0.2126.
    expectColor(onePixel("CIColorMonochrome", qRgb(255, 0, 0), {{"inputColor", white}, {"inputIntensity", 1.0}}), 54, 54, 54);
    const QVariant warm = QVariant::fromValue(Color(1, 0.5, 0.25));
    expectColor(onePixel("CIColorMonochrome", qRgb(200, 200, 200), {{"inputColor", warm}, {"inputIntensity", 1.0}}), 200, 100, 50);
    // Half the intensity: half-way from the input to the tinted grey.
    const QVariant red = QVariant::fromValue(Color(1, 0, 0));
    expectColor(onePixel("CIColorMonochrome", qRgb(100, 100, 100), {{"inputColor", red}, {"inputIntensity", 0.5}}), 100, 50, 50);
}

TEST(GaussianBlur, ConstantStaysConstantAndMeanIsKept)
{
    for (double radius : {2.0, 10.0, 40.0}) {
        SCOPED_TRACE(radius);
        // A constant image: inside (away from the transparent surroundings) nothing changes.
        const Image flat = imageFromQImage(testimages::solid(600, 600, qRgb(90, 160, 30)));
        auto blur = make("CIGaussianBlur", flat);
        blur->setValue(radius, "inputRadius");
        const int m = static_cast<int>(std::ceil(3.5 * radius)) + 16;
        const QImage inner = renderToQImage(blur->outputImage(), Rect(m, m, 600 - 2 * m, 600 - 2 * m));
        ASSERT_FALSE(inner.isNull());
        EXPECT_EQ(testimages::maxChannelDifference(inner, testimages::solid(inner.width(), inner.height(), qRgb(90, 160, 30))), 0);

        // The whole blurred extent holds the same total as the input: the blur keeps the mean.
        const QImage pattern = testimages::pattern(160, 120);
        auto blur2 = make("CIGaussianBlur", imageFromQImage(pattern));
        blur2->setValue(radius, "inputRadius");
        const Rect e = blur2->outputImage().extent();
        const QImage all = renderToQImage(blur2->outputImage(), e);
        const auto before = mean(pattern), after = mean(all);
        const double areaRatio = (e.width() * e.height()) / (160.0 * 120.0);
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(after[c] * areaRatio, before[c], 0.6) << c;
    }
}

TEST(GaussianBlur, MatchesAReferenceGaussianAtSamplePoints)
{
    // Brute-force 2-D Gaussian at a few points, against both the exact and the coarse-grid path.
    const QImage src = testimages::pattern(300, 300);
    const Image img = imageFromQImage(src);
    for (double sigma : {3.0, 12.0}) {
        auto blur = make("CIGaussianBlur", img);
        blur->setValue(sigma, "inputRadius");
        const PixelBuffer out = Renderer::render(blur->outputImage(), PixelRect{140, 140, 160, 160});
        PixelBuffer in(PixelRect{0, 0, 300, 300});
        img.render(in);
        const int R = static_cast<int>(std::ceil(4 * sigma));
        for (auto [x, y] : {std::pair{140, 140}, std::pair{151, 157}, std::pair{159, 143}}) {
            double acc = 0, wsum = 0;
            for (int j = -R; j <= R; ++j)
                for (int i = -R; i <= R; ++i) {
                    const double w = std::exp(-(i * i + j * j) / (2 * sigma * sigma));
                    acc += w * in.pixel(x + i, y + j)[1];
                    wsum += w;
                }
            EXPECT_NEAR(out.pixel(x, y)[1], acc / wsum, 3.0 / 255) << sigma << " at " << x << "," << y;
        }
    }
}

TEST(Generators, GaussianGradientFallsOffAsTheBellCurve)
{
    // From white at the centre to transparent black: at d sigmas (the radius is 3 sigmas) the
    // white left is exp(-d^2 / 2), and far out nothing is.
    auto f = make("CIGaussianGradient");
    f->setValue(QVariant::fromValue(Vector{100.5, 50.5}), "inputCenter");
    f->setValue(60.0, "inputRadius");
    const PixelBuffer out = Renderer::render(f->outputImage(), PixelRect{100, 50, 400, 51});
    for (int x = 100; x < 400; ++x) {
        const double d = (x - 100) / 20.0;
        ASSERT_NEAR(out.pixel(x, 50)[3], std::exp(-0.5 * d * d), 2e-5) << "at " << d << " sigmas";
    }
}

TEST(Generators, CheckerboardAndStripesGeometryAtDefaults)
{
    auto board = make("CICheckerboardGenerator");
    const Image b = board->outputImage();
    EXPECT_TRUE(b.extent().isInfinite());
    // Squares of 80 starting at the centre (150, 150): colour 0 (white) in the square whose
    // bottom-left corner is the centre, alternating with black.
    const QImage img = renderToQImage(b, Rect(0, 0, 400, 400));
    auto at = [&](int x, int y) { return img.pixel(x, 399 - y); }; // image-space lookup
    EXPECT_EQ(at(150, 150), qRgb(255, 255, 255));
    EXPECT_EQ(at(229, 229), qRgb(255, 255, 255));
    EXPECT_EQ(at(230, 150), qRgb(0, 0, 0));
    EXPECT_EQ(at(149, 150), qRgb(0, 0, 0));
    EXPECT_EQ(at(149, 149), qRgb(255, 255, 255));
    EXPECT_EQ(at(70, 70), qRgb(255, 255, 255));
    EXPECT_EQ(at(69, 70), qRgb(0, 0, 0));

    auto stripes = make("CIStripesGenerator");
    const QImage s = renderToQImage(stripes->outputImage(), Rect(0, 0, 400, 10));
    for (int x = 0; x < 400; ++x) {
        const bool white = static_cast<int>(std::floor((x + 0.5 - 150) / 80.0)) % 2 == 0;
        ASSERT_EQ(s.pixel(x, 5), white ? qRgb(255, 255, 255) : qRgb(0, 0, 0)) << x;
    }
}

TEST(Warps, IdentityParametersChangeNothing)
{
    const QImage src = testimages::pattern(320, 240);
    const Image img = imageFromQImage(src);
    auto twirl = make("CITwirlDistortion", img);
    twirl->setValue(0.0, "inputAngle");
    EXPECT_EQ(testimages::maxChannelDifference(qimageFromImage(twirl->outputImage()), src), 0);
    twirl->setValue(1.0, "inputAngle");
    EXPECT_GT(testimages::maxChannelDifference(qimageFromImage(twirl->outputImage()), src), 10);
}

TEST(Blends, SourceOverAndColorDodgeFollowTheirFormulas)
{
    const QRgb fg = qPremultiply(qRgba(200, 40, 100, 128)), bg = qRgb(60, 120, 250);
    const Image f = imageFromQImage(testimages::solid(4, 4, fg));
    const Image b = imageFromQImage(testimages::solid(4, 4, bg));
    auto over = make("CISourceOverCompositing", f);
    over->setValue(QVariant::fromValue(b), "inputBackgroundImage");
    const QRgb o = qimageFromImage(over->outputImage()).pixel(1, 1);
    const double as = qAlpha(fg) / 255.0;
    EXPECT_NEAR(qRed(o), qRed(fg) + qRed(bg) * (1 - as), 1.0);
    EXPECT_NEAR(qGreen(o), qGreen(fg) + qGreen(bg) * (1 - as), 1.0);
    EXPECT_EQ(qAlpha(o), 255);

    // Colour dodge, both opaque: B = min(1, Cb / (1 - Cs)), 1 where Cs = 1, 0 where Cb = 0.
    const QRgb s2 = qRgb(128, 255, 10), b2 = qRgb(100, 50, 0);
    auto dodge = make("CIColorDodgeBlendMode", imageFromQImage(testimages::solid(2, 2, s2)));
    dodge->setValue(QVariant::fromValue(imageFromQImage(testimages::solid(2, 2, b2))), "inputBackgroundImage");
    const QRgb d = qimageFromImage(dodge->outputImage()).pixel(0, 0);
    EXPECT_NEAR(qRed(d), std::min(255.0, 100.0 / (1 - 128 / 255.0)), 1.0);
    EXPECT_EQ(qGreen(d), 255);
    EXPECT_EQ(qBlue(d), 0);
}

TEST(FilterValues, WrongTypesAreRejectedAndNumbersClamped)
{
    auto blur = make("CIGaussianBlur");
    blur->setValue(QString("ten"), "inputRadius");
    EXPECT_DOUBLE_EQ(blur->value("inputRadius").toDouble(), 10.0);
    blur->setValue(std::nan(""), "inputRadius");
    EXPECT_DOUBLE_EQ(blur->value("inputRadius").toDouble(), 10.0);
    blur->setValue(-5.0, "inputRadius");
    EXPECT_DOUBLE_EQ(blur->value("inputRadius").toDouble(), 0.0); // hard minimum
    blur->setValue(QVariant::fromValue(Color(1, 0, 0)), "inputImage");
    EXPECT_FALSE(blur->value("inputImage").isValid());
    blur->setValue(1.0, "inputNoSuchKey"); // logged, ignored
    EXPECT_TRUE(blur->outputImage().isNull()); // no image yet: no output

    auto twirl = make("CITwirlDistortion");
    twirl->setValue(QVariant::fromValue(Vector{1, std::numeric_limits<double>::infinity()}), "inputCenter");
    EXPECT_EQ(twirl->value("inputCenter").value<Vector>(), (Vector{150, 150}));
    // A four-value vector (as the canvas handles write) is accepted for a position.
    twirl->setValue(QVariant::fromValue(Vector{10, 20, 0, 0}), "inputCenter");
    EXPECT_EQ(twirl->value("inputCenter").value<Vector>().count(), 4u);

    // Absurd coordinates are clamped, and rendering with them gives a picture, not a crash.
    auto cells = make("CICrystallize", imageFromQImage(testimages::pattern(40, 30)));
    cells->setValue(QVariant::fromValue(Vector{1e300, -1e300}), "inputCenter");
    EXPECT_DOUBLE_EQ(cells->value("inputCenter").value<Vector>().X(), 1e8);
    EXPECT_FALSE(qimageFromImage(cells->outputImage()).isNull());

    auto clamp = make("CIAffineClamp");
    clamp->setValue(QVariant::fromValue(Vector{1, 2, 3}), "inputTransform"); // too short
    EXPECT_EQ(clamp->value("inputTransform").value<Vector>().count(), 6u);
    clamp->setValue(QVariant::fromValue(AffineTransform::scale(2, 2)), "inputTransform");
    EXPECT_EQ(clamp->value("inputTransform").value<AffineTransform>(), AffineTransform::scale(2, 2));
}

TEST(Attributes, LaidOutAsTheControlsExpect)
{
    auto blur = make("CIGaussianBlur");
    const QVariantMap a = blur->attributes();
    EXPECT_EQ(a.value("CIAttributeFilterName").toString(), "CIGaussianBlur");
    EXPECT_EQ(a.value("CIAttributeFilterDisplayName").toString(), "Gaussian Blur");
    EXPECT_TRUE(a.value("CIAttributeFilterCategories").toStringList().contains("CICategoryBlur"));
    const QVariantMap r = a.value("inputRadius").toMap();
    EXPECT_EQ(r.value("CIAttributeClass").toString(), "NSNumber");
    EXPECT_EQ(r.value("CIAttributeType").toString(), "CIAttributeTypeDistance");
    EXPECT_EQ(r.value("CIAttributeDisplayName").toString(), "Radius");
    EXPECT_DOUBLE_EQ(r.value("CIAttributeDefault").toDouble(), 10.0);
    EXPECT_TRUE(r.contains("CIAttributeSliderMax"));
    EXPECT_EQ(a.value("inputImage").toMap().value("CIAttributeClass").toString(), "CIImage");
    EXPECT_EQ(blur->inputKeys(), (QStringList{"inputImage", "inputRadius"}));
}

TEST(Registry, CategoriesExternalFiltersAndLocalizedNames)
{
    EXPECT_EQ(Filter::filterWithName("CINoSuchFilter"), nullptr);
    EXPECT_TRUE(Filter::filterNamesInCategory("CICategoryBlur").contains("CIGaussianBlur"));
    EXPECT_FALSE(Filter::filterNamesInCategory("CICategoryBlur").contains("CIColorInvert"));
    EXPECT_TRUE(Filter::filterNamesInCategories({"CICategoryBlur", "CICategoryVideo"}).contains("CIGaussianBlur"));
    EXPECT_EQ(FilterRegistry::localizedNameForCategory("CICategoryColorAdjustment"), "Color Adjustment");
    EXPECT_EQ(Filter::localizedNameForFilterName("CITwirlDistortion"), "Twirl Distortion");

    FilterDescription d;
    d.name = "XTestHalve";
    d.displayName = "Test Halve";
    d.categories = {"CICategoryStylize"};
    InputDescription in;
    in.key = "inputImage";
    in.attributeClass = "CIImage";
    d.inputs = {in};
    d.build = [](const FilterValues &v) { return v.image("inputImage").transformed(AffineTransform::scale(0.5, 0.5)); };
    EXPECT_TRUE(FilterRegistry::registerFilter(d));
    EXPECT_TRUE(Filter::filterNamesInCategory("CICategoryStylize").contains("XTestHalve"));
    auto f = Filter::filterWithName("XTestHalve");
    ASSERT_TRUE(f);
    f->setValue(QVariant::fromValue(imageFromQImage(testimages::pattern(10, 10))), "inputImage");
    EXPECT_EQ(f->outputImage().extent(), Rect(0, 0, 5, 5));
    FilterDescription broken;
    EXPECT_FALSE(FilterRegistry::registerFilter(broken));
}

TEST(Convolutions, MedianRemovesAnOutlierAndKeepsEdges)
{
    QImage src = testimages::solid(9, 9, qRgb(40, 40, 40));
    for (int y = 0; y < 9; ++y)
        for (int x = 5; x < 9; ++x) src.setPixel(x, y, qRgb(200, 200, 200)); // an edge
    src.setPixel(2, 4, qRgb(255, 0, 255));                                  // an outlier
    auto median = make("CIMedianFilter", imageFromQImage(src));
    const QImage out = qimageFromImage(median->outputImage());
    EXPECT_EQ(out.pixel(2, 4), qRgb(40, 40, 40));
    EXPECT_EQ(out.pixel(4, 4), qRgb(40, 40, 40));
    EXPECT_EQ(out.pixel(5, 4), qRgb(200, 200, 200));
}

TEST(Warps, BumpsMagnifyOrShrinkAroundTheirCentre)
{
    // A positive scale magnifies: near the centre a point shows what lies about (1 - scale) times
    // as far out, so at 0.5 a line 5 px from the centre appears 10 px from it; a negative scale
    // shrinks (at -0.5 a line 15 px out appears at 10 px). The linear bump does the same across
    // its line (angle 0: vertically).
    const int c = 100;
    for (const auto &[scale, lineAt] : {std::pair{0.5, 5}, std::pair{-0.5, 15}}) {
        for (const char *name : {"CIBumpDistortion", "CIBumpDistortionLinear"}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(scale));
            const bool linear = std::string(name) == "CIBumpDistortionLinear";
            QImage src = testimages::solid(200, 200, qRgb(0, 0, 0));
            for (int i = 0; i < 200; ++i) {
                if (linear) src.setPixel(i, 199 - (c + lineAt), qRgb(255, 255, 255)); // image-space row c + lineAt
                else src.setPixel(c + lineAt, i, qRgb(255, 255, 255));
            }
            auto bump = make(name, imageFromQImage(src));
            bump->setValue(QVariant::fromValue(Vector{c + 0.5, c + 0.5}), "inputCenter");
            bump->setValue(300.0, "inputRadius");
            bump->setValue(scale, "inputScale");
            const QImage out = qimageFromImage(bump->outputImage());
            // The brightest pixel along the ray from the centre.
            int best = 0, brightest = -1;
            for (int d = 0; d < 40; ++d) {
                const QRgb p = linear ? out.pixel(c, 199 - (c + d)) : out.pixel(c + d, 199 - c);
                if (qGreen(p) > brightest) { brightest = qGreen(p); best = d; }
            }
            EXPECT_NEAR(best, 10, 1);
        }
    }
}

TEST(Warps, CircularWrapBendsTheBottomEdgeRoundTheCircleAtAnyAngle)
{
    // A picture whose red is its column and green four times its row (from the bottom). Seen at
    // angle th (radians, anticlockwise) from the picture's middle and distance R + h from the
    // centre, the wrap shows column W / 2 - th R and row h. Angles near both ends of the range put
    // the picture's back across the angle where the plane's angles jump by a turn.
    const int W = 200, H = 50;
    QImage src(W, H, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) src.setPixel(x, y, qRgb(x, 4 * (H - 1 - y), 0));
    const double R = 40, cx = 300.5, cy = 200.5;
    const Rect region(0, 0, 600, 400);
    for (const double angle : {0.3, 3.0, -3.0}) {
        auto wrap = make("CICircularWrap", imageFromQImage(src));
        wrap->setValue(QVariant::fromValue(Vector{cx, cy}), "inputCenter");
        wrap->setValue(R, "inputRadius");
        wrap->setValue(angle, "inputAngle");
        const QImage out = renderToQImage(wrap->outputImage(), region);
        for (const double th : {-2.2, -1.0, 0.0, 1.3, 2.2})
            for (const double h : {5.0, 30.0}) {
                SCOPED_TRACE(testing::Message() << "angle " << angle << " th " << th << " h " << h);
                const double phi = angle + M_PI / 2 + th;
                const int px = static_cast<int>(std::floor(cx + (R + h) * std::cos(phi)));
                const int py = static_cast<int>(std::floor(cy + (R + h) * std::sin(phi)));
                // What the pixel's centre should show, from its own angle and distance.
                const double dx = px + 0.5 - cx, dy = py + 0.5 - cy;
                const double turned = std::remainder(std::atan2(dy, dx) - angle - M_PI / 2, 2 * M_PI);
                const double column = W / 2.0 - turned * R, row = std::hypot(dx, dy) - R;
                const QRgb p = out.pixel(px, region.height() - 1 - py);
                EXPECT_NEAR(qRed(p), column - 0.5, 1.5);
                EXPECT_NEAR(qGreen(p), 4 * (row - 0.5), 4.5);
            }
    }
}

TEST(Convolutions, BoxBlurWeighsItsOutermostPixelsByTheFractionalRadius)
{
    // One white pixel on black gives the box's weights: a whole radius spreads it evenly over
    // (2r + 1)^2 pixels; a fractional one adds a ring at half weight (radius 2.5: seven pixels
    // each way, the outer ones at 0.5 / 6, the inner ones at 1 / 6), keeping the total.
    QImage src = testimages::solid(21, 21, qRgb(0, 0, 0));
    src.setPixel(10, 10, qRgb(255, 255, 255));
    const Image img = imageFromQImage(src);
    struct Case
    {
        double radius;
        float centre, edge, corner, outside; // at offsets 0, (reach, 0), (reach, reach), reach + 1
        int reach;
    };
    for (const Case &c : {Case{2.0, 1 / 25.f, 1 / 25.f, 1 / 25.f, 0.f, 2},
                          Case{2.5, 1 / 36.f, 0.5f / 36, 0.25f / 36, 0.f, 3},
                          Case{1.5, 1 / 16.f, 0.5f / 16, 0.25f / 16, 0.f, 2}}) {
        SCOPED_TRACE(c.radius);
        auto box = make("CIBoxBlur", img);
        box->setValue(c.radius, "inputRadius");
        const PixelBuffer out = Renderer::render(box->outputImage(), PixelRect::fromXYWH(0, 0, 21, 21));
        EXPECT_NEAR(out.pixel(10, 10)[1], c.centre, 1e-5);
        EXPECT_NEAR(out.pixel(10 + c.reach, 10)[1], c.edge, 1e-5);
        EXPECT_NEAR(out.pixel(10, 10 - c.reach)[1], c.edge, 1e-5);
        EXPECT_NEAR(out.pixel(10 - c.reach, 10 + c.reach)[1], c.corner, 1e-5);
        EXPECT_NEAR(out.pixel(10 + c.reach + 1, 10)[1], c.outside, 1e-6);
        double total = 0;
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 21; ++x) total += out.pixel(x, y)[1];
        EXPECT_NEAR(total, 1.0, 1e-4);
    }
}

TEST(Convolutions, MedianIsThatOfTheNineNeighboursInEveryChannel)
{
    // A textured picture with transparent and half-transparent parts, against sorting each
    // channel's nine values.
    QImage q = testimages::pattern(70, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 70; ++x)
            if ((x * 13 + y * 7) % 5 == 0) q.setPixel(x, y, qPremultiply(qRgba((x * 31) % 256, y * 5, 90, (x * y) % 256)));
    const Image img = imageFromQImage(q);
    const PixelBuffer src = Renderer::render(img, PixelRect::covering(img.extent()));
    const PixelBuffer out = Renderer::render(make("CIMedianFilter", img)->outputImage(), PixelRect::fromXYWH(1, 1, 68, 38));
    int wrong = 0;
    for (int y = 1; y < 39; ++y)
        for (int x = 1; x < 69; ++x)
            for (int c = 0; c < 4; ++c) {
                std::array<float, 9> v;
                int n = 0;
                for (int j = -1; j <= 1; ++j)
                    for (int i = -1; i <= 1; ++i) v[n++] = src.pixel(x + i, y + j)[c];
                std::nth_element(v.begin(), v.begin() + 4, v.end());
                if (out.pixel(x, y)[c] != v[4]) ++wrong;
            }
    EXPECT_EQ(wrong, 0);
}

TEST(Convolutions, ZoomBlurAveragesAboutOneSamplePerPixelOfEachStreak)
{
    // Each pixel averages bilinear samples on the way to the centre over min(amount, d / 5)
    // pixels, about one per pixel of that length: short streaks near the centre, full ones
    // beyond 5 amount.
    const Image img = imageFromQImage(testimages::pattern(90, 80));
    const PixelBuffer src = Renderer::render(img, PixelRect::covering(img.extent()));
    const double cx = 45.3, cy = 38.7, amount = 6.5;
    auto zoom = make("CIZoomBlur", img);
    zoom->setValue(QVariant::fromValue(Vector{cx, cy}), "inputCenter");
    zoom->setValue(amount, "inputAmount");
    const PixelBuffer out = Renderer::render(zoom->outputImage(), PixelRect::fromXYWH(0, 0, 90, 80));
    float worst = 0;
    for (int y = 0; y < 80; y += 3)
        for (int x = 0; x < 90; x += 2) {
            const double px = x + 0.5, py = y + 0.5, dx = cx - px, dy = cy - py, d = std::hypot(dx, dy);
            const double length = std::min(amount, d / 5);
            const int samples = std::clamp(static_cast<int>(std::ceil(length)) + 1, 3, 64);
            float acc[4] = {0, 0, 0, 0}, s[4];
            for (int k = 0; k < samples; ++k) {
                const double t = length * k / samples / std::max(d, 1e-9);
                src.sampleBilinearClamped(px + dx * t, py + dy * t, s);
                for (int c = 0; c < 4; ++c) acc[c] += s[c];
            }
            for (int c = 0; c < 4; ++c) worst = std::max(worst, std::abs(acc[c] / samples - out.pixel(x, y)[c]));
        }
    EXPECT_LT(worst, 2e-4f);
}

TEST(Convolutions, NoiseReductionSmoothsGrainBelowTheLevelAndKeepsEdges)
{
    // Light grey with a fine grain of +-3 levels left of an edge to dark grey: the grain differs
    // from its neighbourhood by less than the noise level and is smoothed; the edge differs by
    // more and is kept, and sharpened when sharpness is on.
    QImage q(40, 40, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const int v = x < 20 ? 200 + ((x + y) % 2 ? 3 : -3) : 40;
            q.setPixel(x, y, qRgb(v, v, v));
        }
    const Image img = imageFromQImage(q);
    const PixelRect all = PixelRect::fromXYWH(0, 0, 40, 40);
    const PixelBuffer src = Renderer::render(img, all);
    auto grain = [](const PixelBuffer &b) {
        double sum = 0;
        for (int y = 10; y < 30; ++y)
            for (int x = 5; x < 14; ++x) sum += std::abs(b.pixel(x, y)[1] - b.pixel(x + 1, y)[1]);
        return sum;
    };
    for (const double sharpness : {0.0, 1.0}) {
        SCOPED_TRACE(sharpness);
        auto nr = make("CINoiseReduction", img);
        nr->setValue(0.05, "inputNoiseLevel");
        nr->setValue(sharpness, "inputSharpness");
        const PixelBuffer out = Renderer::render(nr->outputImage(), all);
        EXPECT_LT(grain(out), 0.5 * grain(src));
        for (int y = 5; y < 35; ++y) {
            const float light = out.pixel(19, y)[1], dark = out.pixel(20, y)[1];
            if (sharpness == 0) {
                EXPECT_FLOAT_EQ(light, src.pixel(19, y)[1]);
                EXPECT_FLOAT_EQ(dark, src.pixel(20, y)[1]);
            } else {
                EXPECT_GT(light, src.pixel(19, y)[1] + 0.05f);
                EXPECT_LT(dark, src.pixel(20, y)[1] - 0.05f);
            }
            EXPECT_FLOAT_EQ(out.pixel(19, y)[3], 1.f);
        }
    }
}
