// Halftone screens finer than a few pixels: each pixel shows the share of it the screen inks, as
// the same screen drawn much larger and seen from further away does.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "imaging/filter.h"
#include "imaging/qimageadapter.h"
#include "imaging/renderer.h"

using namespace imaging;

namespace {

constexpr int kSide = 48; // the small picture's side
constexpr int kFine = 16; // how much larger the reference is drawn

// Opaque colours varying slowly over a square of `side` pixels (the same picture at any size).
Image gradient(int side)
{
    QImage img(side, side, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const double tx = (x + 0.5) / side, ty = (y + 0.5) / side;
            img.setPixel(x, y, qRgb(static_cast<int>(20 + 215 * tx), static_cast<int>(235 - 200 * ty),
                                    static_cast<int>(128 + 100 * std::sin(3 * (tx + ty)))));
        }
    return imageFromQImage(img);
}

Image flat(int side, int level)
{
    QImage img(side, side, QImage::Format_ARGB32_Premultiplied);
    img.fill(qRgb(level, level, level));
    return imageFromQImage(img);
}

struct Screen
{
    const char *name;
    double width, sharpness, angle;
};

// The filter over `input` with its screen `scale` times larger (width and centre), rendered whole.
PixelBuffer screened(const Screen &s, const Image &input, double scale)
{
    auto f = Filter::filterWithName(s.name);
    EXPECT_TRUE(f) << s.name;
    f->setValue(QVariant::fromValue(input), "inputImage");
    f->setValue(s.width * scale, "inputWidth");
    f->setValue(s.sharpness, "inputSharpness");
    f->setValue(QVariant::fromValue(Vector{17.3 * scale, 21.1 * scale}), "inputCenter");
    if (f->inputKeys().contains("inputAngle")) f->setValue(s.angle, "inputAngle");
    return Renderer::render(f->outputImage(), PixelRect::covering(input.extent()));
}

struct Drift
{
    double mean = 0, worst = 0; // absolute differences
    double tone = 0;             // mean signed difference
};

// Each pixel of the screen at its size against the mean of its block of the screen drawn kFine
// times larger over the same picture kFine times larger.
Drift againstFiner(const Screen &s, const Image &small, const Image &large)
{
    const PixelBuffer a = screened(s, small, 1), b = screened(s, large, kFine);
    Drift d;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (int j = 0; j < kFine; ++j)
                    for (int i = 0; i < kFine; ++i) sum += b.pixel(x * kFine + i, y * kFine + j)[c];
                const double signedDiff = a.pixel(x, y)[c] - sum / (kFine * kFine), diff = std::abs(signedDiff);
                d.tone += signedDiff;
                d.mean += diff;
                d.worst = std::max(d.worst, diff);
            }
    d.mean /= kSide * kSide * 3;
    d.tone /= kSide * kSide * 3;
    return d;
}

double meanGrey(const PixelBuffer &p)
{
    double sum = 0;
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) sum += p.pixel(x, y)[0];
    return sum / (double(p.width()) * p.height());
}

} // namespace

TEST(Halftone, ScreensOfAFewPixelsShowEachPixelsMeanCoverage)
{
    // Cells a few pixels across, hard and soft edged, at an angle: a pixel is an average of the
    // screen over its square, not its value at the centre (which would show moiré).
    const Image small = gradient(kSide), large = gradient(kSide * kFine);
    for (const char *name : {"CIDotScreen", "CILineScreen", "CIHatchedScreen", "CICircularScreen", "CICMYKHalftone"})
        for (double width : {1.3, 2.7, 7.0})
            for (double sharpness : {0.7, 1.0}) {
                const Screen s{name, width, sharpness, 0.4};
                SCOPED_TRACE(std::string(name) + " width " + std::to_string(width) + " sharpness " + std::to_string(sharpness));
                const Drift d = againstFiner(s, small, large);
                EXPECT_LT(std::abs(d.tone), 0.001);
                if (std::string(name) == "CICMYKHalftone") {
                    // Each ink's coverage is averaged over the pixel on its own and the four are
                    // multiplied: the tone holds, where black overlaps a colour inside a pixel is lost.
                    EXPECT_LT(d.mean, 0.04);
                } else {
                    EXPECT_LT(d.mean, 0.01);
                    EXPECT_LT(d.worst, 0.08);
                }
            }
}

TEST(Halftone, ScreensFinerThanAPixelShowTheirMeanTone)
{
    // Several cells to a pixel: each pixel takes the tone of the screen's average, whatever falls
    // inside it, so the block means of the screen drawn larger agree on average and the picture
    // keeps no moiré.
    const Image small = gradient(kSide), large = gradient(kSide * kFine);
    for (const char *name : {"CIDotScreen", "CILineScreen", "CIHatchedScreen", "CICircularScreen"}) {
        SCOPED_TRACE(name);
        const Drift d = againstFiner({name, 0.3, 1.0, 0.4}, small, large);
        EXPECT_LT(std::abs(d.tone), 0.001);
        EXPECT_LT(d.mean, 0.03); // the larger screen's blocks hold a third of a cell more or less
    }
    // With a hard edge the inked share is known exactly: a line screen inks `ink` of each period,
    // a dot screen a disc of radius ink / sqrt(2) cells (while it stays inside its cell).
    const Image grey = flat(kSide, 102); // luminance 0.4: ink 0.6
    const double ink = 1 - 102 / 255.0;
    EXPECT_NEAR(meanGrey(screened({"CILineScreen", 0.3, 1.0, 0.4}, grey, 1)), 1 - ink, 0.01);
    EXPECT_NEAR(meanGrey(screened({"CIDotScreen", 0.3, 1.0, 0.4}, grey, 1)), 1 - M_PI * ink * ink / 2, 0.01);
    // Cells of a few pixels average to the same tone over the picture.
    EXPECT_NEAR(meanGrey(screened({"CILineScreen", 1.7, 1.0, 0.4}, grey, 1)), 1 - ink, 0.01);
    EXPECT_NEAR(meanGrey(screened({"CIDotScreen", 1.7, 1.0, 0.4}, grey, 1)), 1 - M_PI * ink * ink / 2, 0.01);
}
