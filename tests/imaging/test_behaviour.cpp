// Behaviour of catalogue filters that has an exact answer: identity settings, transitions at their
// ends, periodic tilings, cells, and the standard mode's composition.
#include <gtest/gtest.h>

#include "imaging/cachenode.h"
#include "imaging/filter.h"
#include "imaging/homography.h"
#include "imaging/qimageadapter.h"
#include "imaging/renderer.h"
#include "imaging/sourcenode.h"
#include "imaging/standardcomposition.h"
#include "testimages.h"

using namespace imaging;

namespace {

QImage render(const char *name, const Image &input, std::initializer_list<std::pair<const char *, QVariant>> values = {})
{
    auto f = Filter::filterWithName(name);
    EXPECT_TRUE(f) << name;
    f->setValue(QVariant::fromValue(input), "inputImage");
    for (const auto &[k, v] : values) f->setValue(v, k);
    return renderToQImage(f->outputImage(), input.extent());
}

} // namespace

TEST(Identities, ColourAdjustmentsAtTheirIdentityChangeNothing)
{
    const QImage src = testimages::pattern(64, 40);
    const Image img = imageFromQImage(src);
    // Each filter at the values that leave a picture alone (most are the defaults).
    const std::vector<std::pair<const char *, std::vector<std::pair<const char *, QVariant>>>> cases = {
        {"CIColorControls", {}},
        {"CIColorMatrix", {}},
        {"CIExposureAdjust", {{"inputEV", 0.0}}},
        {"CIGammaAdjust", {{"inputPower", 1.0}}},
        {"CIHueAdjust", {}},
        {"CIVibrance", {}},
        {"CIWhitePointAdjust", {}},
        {"CITemperatureAndTint", {}},
        {"CIToneCurve", {}},
        {"CIColorPolynomial", {}},
        {"CIColorClamp", {}},
        {"CISepiaTone", {{"inputIntensity", 0.0}}},
        {"CIStraightenFilter", {}},
        {"CILanczosScaleTransform", {}},
        {"CIPinchDistortion", {{"inputScale", 0.0}}},
        {"CIBumpDistortion", {{"inputScale", 0.0}}},
        {"CIVortexDistortion", {{"inputAngle", 0.0}}},
        {"CIGaussianBlur", {{"inputRadius", 0.0}}},
        {"CIUnsharpMask", {{"inputIntensity", 0.0}}},
    };
    for (const auto &[name, values] : cases) {
        SCOPED_TRACE(name);
        auto f = Filter::filterWithName(name);
        ASSERT_TRUE(f);
        f->setValue(QVariant::fromValue(img), "inputImage");
        for (const auto &[k, v] : values) f->setValue(v, k);
        EXPECT_LE(testimages::maxChannelDifference(renderToQImage(f->outputImage(), img.extent()), src), 1);
    }
}

TEST(Transitions, StartOnTheSourceAndEndOnTheTarget)
{
    const QImage a = testimages::pattern(300, 300), b = testimages::solid(300, 300, qRgb(10, 200, 90));
    const Image ia = imageFromQImage(a), ib = imageFromQImage(b);
    for (const char *name : {"CIDissolveTransition", "CISwipeTransition", "CICopyMachineTransition", "CIDisintegrateWithMaskTransition"}) {
        SCOPED_TRACE(name);
        for (double t : {0.0, 1.0}) {
            auto f = Filter::filterWithName(name);
            standardcomposition::prepare(*f, ia, ia.extent());
            f->setValue(QVariant::fromValue(ib), "inputTargetImage");
            f->setValue(t, "inputTime");
            const QImage out = renderToQImage(standardcomposition::result(*f, ia, ia.extent()), ia.extent());
            if (t == 0.0) {
                EXPECT_EQ(testimages::maxChannelDifference(out, a), 0);
            } else if (std::string(name) != "CIDisintegrateWithMaskTransition") {
                EXPECT_LE(testimages::maxChannelDifference(out, b), 1);
            }
        }
    }
}

TEST(Tiles, TranslatedTileRepeatsWithItsWidthAndPixellateMakesFlatCells)
{
    const Image img = imageFromQImage(testimages::pattern(400, 400));
    auto tile = Filter::filterWithName("CIFourfoldTranslatedTile");
    tile->setValue(QVariant::fromValue(img), "inputImage");
    tile->setValue(50.0, "inputWidth");
    tile->setValue(QVariant::fromValue(Vector{100, 100}), "inputCenter");
    const QImage t = renderToQImage(tile->outputImage(), Rect(0, 0, 400, 400));
    for (auto [x, y] : {std::pair{10, 13}, std::pair{123, 77}, std::pair{260, 301}})
        EXPECT_EQ(t.pixel(x, y), t.pixel(x + 50, y + 50)) << x << "," << y;

    const QImage p = render("CIPixellate", img, {{"inputScale", 10.0}, {"inputCenter", QVariant::fromValue(Vector{0, 0})}});
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(p.pixel(20 + x, 390 - 10 + y), p.pixel(20, 380)) << x << "," << y;
}

TEST(Composition, GeneratorsCoverTheImageAndBlendsGetItInTheBackground)
{
    const Image photo = imageFromQImage(testimages::solid(200, 120, qRgb(0, 0, 255)));
    auto board = Filter::filterWithName("CICheckerboardGenerator");
    standardcomposition::prepare(*board, photo, photo.extent());
    const Image laid = standardcomposition::result(*board, photo, photo.extent());
    EXPECT_EQ(laid.extent(), photo.extent());
    // Half-transparent white over blue: (127, 127, 255) or so; half-transparent black: (0, 0, 128).
    const QImage out = qimageFromImage(laid);
    for (int x = 0; x < 200; x += 7) EXPECT_EQ(qAlpha(out.pixel(x, 60)), 255); // the photo shows through
    int light = 0, dark = 0;
    for (int x = 0; x < 200; ++x) (qRed(out.pixel(x, 60)) > 100 ? light : dark)++;
    EXPECT_GT(light, 0);
    EXPECT_GT(dark, 0);

    auto screen = Filter::filterWithName("CIScreenBlendMode");
    EXPECT_EQ(standardcomposition::currentImageKey(*screen), "inputBackgroundImage");
    EXPECT_EQ(standardcomposition::currentImageKey(*Filter::filterWithName("CIGaussianBlur")), "inputImage");

    // A blur grows less than 1.3 times and stays uncropped; a doubling transform is cropped.
    const Image big = imageFromQImage(testimages::solid(1000, 600, qRgb(0, 0, 255)));
    auto blur = Filter::filterWithName("CIGaussianBlur");
    standardcomposition::prepare(*blur, big, big.extent());
    EXPECT_GT(standardcomposition::result(*blur, big, big.extent()).extent().width(), 1000);
    auto grow = Filter::filterWithName("CIAffineTransform");
    standardcomposition::prepare(*grow, photo, photo.extent());
    grow->setValue(QVariant::fromValue(AffineTransform::scale(2, 2)), "inputTransform");
    EXPECT_EQ(standardcomposition::result(*grow, photo, photo.extent()).extent(), photo.extent());

    // "inputExtent" follows the view's size on every render.
    auto rounded = Filter::filterWithName("CIRoundedRectangleGenerator");
    standardcomposition::result(*rounded, photo, Rect(0, 0, 80, 60));
    EXPECT_EQ(rounded->value("inputExtent").value<Vector>(), (Vector{0, 0, 80, 60}));
    // The special defaults of the design.
    auto curl = Filter::filterWithName("CIPageCurlTransition");
    standardcomposition::prepare(*curl, photo, photo.extent());
    EXPECT_FLOAT_EQ(static_cast<float>(curl->value("inputAngle").toDouble()), -0.7853982f);
    auto wrap = Filter::filterWithName("CICircularWrap");
    standardcomposition::prepare(*wrap, photo, Rect(0, 0, 800, 600));
    EXPECT_EQ(wrap->value("inputCenter").value<Vector>(), (Vector{400, 300}));
}

TEST(Engine, MipLevelsAverageFromTheBottomLeft)
{
    // 3 x 3 picture: the bottom row (QImage row 2) is 0, 30, 60; rows above are 90, 120, 150 and
    // 180, 210, 240 in the green channel.
    QImage q(3, 3, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) q.setPixel(x, 2 - y, qRgb(0, 90 * y + 30 * x, 0));
    SourceNode node(q);
    const QImage half = node.mipLevel(1);
    ASSERT_EQ(half.size(), QSize(2, 2));
    // Bottom-left block: (0 + 30 + 90 + 120) / 4 = 60; bottom-right repeats the last column.
    EXPECT_EQ(qGreen(half.pixel(0, 1)), 60);
    EXPECT_EQ(qGreen(half.pixel(1, 1)), (60 + 60 + 150 + 150 + 2) / 4);
    EXPECT_EQ(qGreen(half.pixel(0, 0)), (180 + 210 + 180 + 210 + 2) / 4);
}

TEST(Engine, CacheGivesTheSamePixelsAndHomographiesInvert)
{
    const Image img = imageFromQImage(testimages::pattern(90, 70));
    auto twirl = Filter::filterWithName("CITwirlDistortion");
    twirl->setValue(QVariant::fromValue(img), "inputImage");
    const Image direct = twirl->outputImage();
    const Image cached = CacheNode::wrap(direct);
    EXPECT_EQ(testimages::maxChannelDifference(qimageFromImage(cached), qimageFromImage(direct)), 0);
    EXPECT_EQ(CacheNode::wrap(Filter::filterWithName("CIRandomGenerator")->outputImage()).extent(), Rect::infinite());

    const Homography h = Homography::squareToQuad(10, 20, 200, 5, 230, 180, -5, 150);
    double x, y, u, v;
    ASSERT_TRUE(h.map(1, 1, x, y));
    EXPECT_NEAR(x, 230, 1e-9);
    EXPECT_NEAR(y, 180, 1e-9);
    ASSERT_TRUE(h.map(0.3, 0.7, x, y));
    ASSERT_TRUE(h.inverted().map(x, y, u, v));
    EXPECT_NEAR(u, 0.3, 1e-9);
    EXPECT_NEAR(v, 0.7, 1e-9);
}
