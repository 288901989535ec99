// The preview path: warps that sample a cached input in place, and previews of whole compositions
// against the full-resolution result scaled down.
#include <cmath>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "imaging/areareducenode.h"
#include "imaging/cachenode.h"
#include "imaging/catalogrows.h"
#include "imaging/filter.h"
#include "imaging/kernels.h"
#include "imaging/qimageadapter.h"
#include "imaging/reducenode.h"
#include "imaging/renderer.h"
#include "imaging/standardcomposition.h"
#include "testimages.h"

using namespace imaging;

namespace {

// A smooth, opaque picture: at a quarter of its size nothing in it is finer than a pixel, so a
// preview and the full render scaled down can be compared pixel by pixel.
QImage smoothPicture(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(128 + static_cast<int>(100 * std::sin(x / 37.0)), 128 + static_cast<int>(100 * std::cos(y / 29.0)),
                                    128 + static_cast<int>(90 * std::sin((x + y) / 53.0))));
    return img;
}

struct Difference
{
    double mean = 0;
    int worst = 0;
};

// Channel differences over the picture less a border of `margin` pixels.
Difference compare(const QImage &a, const QImage &b, int margin)
{
    Difference d;
    long long n = 0;
    for (int y = margin; y < a.height() - margin; ++y)
        for (int x = margin; x < a.width() - margin; ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int c : {std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))}) {
                d.mean += c;
                d.worst = std::max(d.worst, c);
                ++n;
            }
        }
    d.mean /= std::max(1LL, n);
    return d;
}

// The picture seen at 1/k of its size: each pixel the mean of a k x k block, as a screen shows a
// result that is finer than its pixels.
QImage averagedDown(const QImage &img, int k)
{
    QImage out(img.width() / k, img.height() / k, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            int sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < k; ++j)
                for (int i = 0; i < k; ++i) {
                    const QRgb p = img.pixel(x * k + i, y * k + j);
                    sum[0] += qRed(p); sum[1] += qGreen(p); sum[2] += qBlue(p); sum[3] += qAlpha(p);
                }
            auto mean = [&](int c) { return (sum[c] + k * k / 2) / (k * k); };
            out.setPixel(x, y, qRgba(mean(0), mean(1), mean(2), mean(3)));
        }
    return out;
}

// Peak signal-to-noise ratio of b against a over the colour channels, in dB.
double psnr(const QImage &a, const QImage &b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) sum += double(d) * d;
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99.0;
}

} // namespace

TEST(Preview, WarpOverACachedInputMatchesTheUncachedWarp)
{
    const Image img = imageFromQImage(testimages::pattern(150, 110));
    // Reads across the whole picture (a wrap-around shift) and beyond its edges (a slight zoom
    // out), so both the far region and the transparent margin are exercised.
    const auto f = [](double x, double y, double &sx, double &sy) {
        sx = std::fmod(x + 97.3, 150.0) * 1.05 - 3;
        sy = y * 1.07 - 4.5;
    };
    const Rect extent(0, 0, 150, 110);
    const Image direct = kernels::warp(img, extent, f);
    const Image cached = kernels::warp(CacheNode::wrap(img), extent, f);
    const PixelRect whole = PixelRect::covering(extent);
    const PixelBuffer a = Renderer::render(direct, whole);
    const PixelBuffer b = Renderer::render(cached, whole);
    // Rendered piecewise as well: a tile reads the cache wherever its samples fall.
    PixelBuffer piece(PixelRect::fromXYWH(37, 21, 50, 40));
    cached.render(piece);
    float worst = 0;
    for (int y = whole.y0; y < whole.y1; ++y)
        for (int x = whole.x0; x < whole.x1; ++x)
            for (int c = 0; c < 4; ++c) {
                worst = std::max(worst, std::abs(a.pixel(x, y)[c] - b.pixel(x, y)[c]));
                if (piece.contains(x, y)) worst = std::max(worst, std::abs(piece.pixel(x, y)[c] - b.pixel(x, y)[c]));
            }
    EXPECT_LT(worst, 1e-6f);
}

TEST(Preview, CompositionsAtQuarterZoomMatchTheFullRenderScaledDown)
{
    const Image current = imageFromQImage(smoothPicture(800, 600));
    const Rect view = current.extent();
    // Warps, a texture read through a cache, a blur along a path, and a generator laid over the
    // picture and cropped to it.
    for (const char *name : {"CITwirlDistortion", "CIDisplacementDistortion", "CIZoomBlur", "CICheckerboardGenerator",
                             "CIGaussianBlur", "CIBumpDistortion"}) {
        SCOPED_TRACE(name);
        auto filter = Filter::filterWithName(name);
        ASSERT_TRUE(filter);
        standardcomposition::prepare(*filter, current, view);
        const Image result = standardcomposition::result(*filter, current, view);
        const QImage preview = renderToQImage(result, view, 0.25);
        const QImage reference = renderToQImage(result, view).scaled(200, 150, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        ASSERT_EQ(preview.size(), reference.size());
        const Difference d = compare(preview, reference, 4);
        EXPECT_LT(d.mean, 2.5);
        EXPECT_LE(d.worst, 72);
    }
}

TEST(Preview, MotionBlurMatchesSamplingAlongItsPath)
{
    // The blur averages evenly spaced bilinear samples along a segment through each pixel; its
    // fixed-offset taps must give exactly that, at any angle and fractional radius.
    const Image img = imageFromQImage(testimages::pattern(60, 50));
    const PixelBuffer src = Renderer::render(img, PixelRect::covering(img.extent()));
    for (const auto &[radius, angle] : {std::pair{3.3, 0.7}, std::pair{5.0, 0.0}, std::pair{2.6, -2.1}}) {
        auto blur = Filter::filterWithName("CIMotionBlur");
        blur->setValue(QVariant::fromValue(img), "inputImage");
        blur->setValue(radius, "inputRadius");
        blur->setValue(angle, "inputAngle");
        const PixelBuffer out = Renderer::render(blur->outputImage(), PixelRect::fromXYWH(10, 10, 40, 30));
        const int samples = std::max(3, static_cast<int>(std::ceil(radius)) + 1);
        float worst = 0;
        for (int y = 10; y < 40; y += 3)
            for (int x = 10; x < 50; x += 3) {
                float acc[4] = {0, 0, 0, 0}, s[4];
                for (int k = 0; k < samples; ++k) {
                    const double t = -radius + 2.0 * radius * k / (samples - 1);
                    src.sampleBilinear(x + 0.5 + t * std::cos(angle), y + 0.5 + t * std::sin(angle), s);
                    for (int c = 0; c < 4; ++c) acc[c] += s[c];
                }
                for (int c = 0; c < 4; ++c) worst = std::max(worst, std::abs(acc[c] / samples - out.pixel(x, y)[c]));
            }
        EXPECT_LT(worst, 1e-4f) << radius << " " << angle;
    }
}

TEST(Preview, ReducingAveragesWholeBlocksOverAnyRegion)
{
    // Wide enough that the reduction reads its input in several bands of rows.
    const QImage src = testimages::pattern(3600, 630);
    const Image reduced(std::make_shared<ReduceNode>(imageFromQImage(src), 3));
    EXPECT_EQ(reduced.extent(), Rect(0, 0, 1200, 210));
    PixelBuffer out(PixelRect{0, 0, 1200, 210});
    reduced.render(out);
    const QImage expected = averagedDown(src, 3);
    int worst = 0;
    for (int y = 0; y < 210; ++y)
        for (int x = 0; x < 1200; ++x) {
            const QRgb e = expected.pixel(x, 209 - y); // QImage rows run top-down
            const float *p = out.pixel(x, y);
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(static_cast<int>(std::lround(p[c] * 255)) - (c == 0 ? qRed(e) : c == 1 ? qGreen(e) : qBlue(e))));
        }
    EXPECT_LE(worst, 1);
}

TEST(Preview, ReducingByAreaWeighsEachPixelByTheShareItCovers)
{
    // Factors with and without a fraction, the output rendered whole, in tiles placed anywhere
    // (negative coordinates included) and in several bands of rows: every pixel must be the
    // area-weighted mean of the input square it covers, worked out here pixel by pixel.
    const QImage src = testimages::pattern(700, 300);
    const Image input = imageFromQImage(src).transformed(AffineTransform::translation(-91, -37));
    const PixelBuffer in = Renderer::render(input, PixelRect{-91, -37, 609, 263});
    for (double factor : {1.0, 1.85, 3.0, 3.7037, 0.5}) {
        SCOPED_TRACE(factor);
        const Image reduced(std::make_shared<AreaReduceNode>(input, factor));
        const double f = std::max(1.0, factor);
        EXPECT_NEAR(reduced.extent().x(), -91 / f, 1e-9);
        EXPECT_NEAR(reduced.extent().maxX(), 609 / f, 1e-9);
        for (const PixelRect &tile : {PixelRect{-24, -10, 70, 50}, PixelRect{13, 5, 14, 6}, PixelRect{-50, -20, 250, 70}}) {
            const PixelBuffer out = Renderer::render(reduced, tile);
            double worst = 0;
            for (int y = tile.y0; y < tile.y1; ++y)
                for (int x = tile.x0; x < tile.x1; ++x)
                    for (int c = 0; c < 4; ++c) {
                        double sum = 0;
                        for (int j = static_cast<int>(std::floor(y * f)); j < std::ceil((y + 1) * f); ++j)
                            for (int i = static_cast<int>(std::floor(x * f)); i < std::ceil((x + 1) * f); ++i) {
                                const double share = (std::min((x + 1) * f, i + 1.0) - std::max(x * f, double(i))) *
                                                     (std::min((y + 1) * f, j + 1.0) - std::max(y * f, double(j)));
                                sum += share * (in.contains(i, j) ? in.pixel(i, j)[c] : 0.f);
                            }
                        worst = std::max(worst, std::abs(sum / (f * f) - out.pixel(x, y)[c]));
                    }
            EXPECT_LT(worst, 1e-5) << tile.x0 << "," << tile.y0;
        }
    }
}

TEST(Preview, LightsAndFinePatternsLookLikeTheResultSeenAtTheSameScale)
{
    // Preview against the full render averaged down to the preview's size. A light's height must
    // scale with the picture like its position; screens, cells, noise and hard-edged squares finer
    // than a few preview pixels must average to the result's tone instead of showing moiré.
    const Image current = imageFromQImage(smoothPicture(800, 600));
    const Rect view = current.extent();
    struct Case
    {
        const char *name;
        int k;          // the preview shows the picture at 1/k
        double minimum; // dB
    };
    for (const Case &c : {Case{"CISpotLight", 4, 40}, Case{"CIDotScreen", 4, 40}, Case{"CILineScreen", 4, 40},
                          Case{"CICircularScreen", 4, 40}, Case{"CIHatchedScreen", 4, 40},
                          // Each of the four inks is averaged over a preview pixel on its own and the
                          // inks are multiplied: the tone is kept, but not where black dots overlap a
                          // colour's dots inside the pixel, which moves single pixels by a few percent.
                          Case{"CICMYKHalftone", 4, 27},
                          Case{"CICheckerboardGenerator", 4, 40}, Case{"CIPixellate", 4, 40},
                          Case{"CICrystallize", 4, 36},
                          // Further out the preview takes at most 4 x 4 samples a pixel: less alike,
                          // still no moiré.
                          Case{"CIDotScreen", 10, 22}, Case{"CICMYKHalftone", 10, 22}}) {
        SCOPED_TRACE(std::string(c.name) + " at 1/" + std::to_string(c.k));
        auto filter = Filter::filterWithName(c.name);
        ASSERT_TRUE(filter);
        standardcomposition::prepare(*filter, current, view);
        const Image result = standardcomposition::result(*filter, current, view);
        const QImage preview = renderToQImage(result, view, 1.0 / c.k);
        const QImage seen = averagedDown(renderToQImage(result, view), c.k);
        ASSERT_EQ(preview.size(), seen.size());
        const double db = psnr(preview, seen);
        std::printf("preview of %s at 1/%d against the result seen at that scale: %.1f dB\n", c.name, c.k, db);
        EXPECT_GE(db, c.minimum);
    }
}

TEST(Preview, NoiseShowsTheStatisticsOfTheResultSeenAtTheSameScale)
{
    // Noise pixels are independent: the preview draws other values than the reduced full render,
    // but with its mean and its spread (which shrinks with the scale), in every channel.
    auto filter = Filter::filterWithName("CIRandomGenerator");
    ASSERT_TRUE(filter);
    const Rect view(0, 0, 800, 600);
    const Image noise = filter->outputImage();
    for (int k : {2, 4, 10}) {
        SCOPED_TRACE(k);
        const QImage preview = renderToQImage(noise, view, 1.0 / k);
        const QImage seen = averagedDown(renderToQImage(noise, view), k);
        ASSERT_EQ(preview.size(), seen.size());
        for (int c = 0; c < 4; ++c) {
            auto stats = [c](const QImage &img) {
                double sum = 0, sum2 = 0;
                const double n = double(img.width()) * img.height();
                for (int y = 0; y < img.height(); ++y)
                    for (int x = 0; x < img.width(); ++x) {
                        const QRgb p = img.pixel(x, y);
                        const int v = c == 0 ? qRed(p) : c == 1 ? qGreen(p) : c == 2 ? qBlue(p) : qAlpha(p);
                        sum += v;
                        sum2 += double(v) * v;
                    }
                return std::pair(sum / n, std::sqrt(std::max(0.0, sum2 / n - (sum / n) * (sum / n))));
            };
            const auto [previewMean, previewSpread] = stats(preview);
            const auto [seenMean, seenSpread] = stats(seen);
            EXPECT_NEAR(previewMean, seenMean, 1.5) << "channel " << c;
            EXPECT_NEAR(previewSpread, seenSpread, 0.12 * seenSpread + 0.5) << "channel " << c;
        }
    }
}

TEST(Preview, RepeatedTexturesJoinWithoutSeamsAtAnyScale)
{
    // A flat texture has no slope, so the glass displaces nothing: the preview must show the plain
    // picture. Scaled as a picture of its own, the texture's border would fade out and every
    // join of its copies would bend the picture along a line.
    const Image current = imageFromQImage(smoothPicture(600, 400));
    auto glass = Filter::filterWithName("CIGlassDistortion");
    ASSERT_TRUE(glass);
    standardcomposition::prepare(*glass, current, current.extent());
    glass->setValue(QVariant::fromValue(imageFromQImage(testimages::solid(256, 256, qRgb(120, 120, 120)))), "inputTexture");
    const Image result = standardcomposition::result(*glass, current, current.extent());
    for (double s : {1.5625, 0.37, 0.25}) {
        SCOPED_TRACE(s);
        const QImage preview = renderToQImage(result, current.extent(), s);
        const QImage plain = renderToQImage(current, current.extent(), s);
        ASSERT_EQ(preview.size(), plain.size());
        EXPECT_LE(compare(preview, plain, 2).worst, 2);
    }
}

TEST(Preview, SharpeningWhoseRadiusScalesBelowAPixelKeepsItsStrength)
{
    // Grey ripples five preview pixels apart, sharpened with a one-pixel radius: at quarter scale
    // the radius is a quarter of a preview pixel, yet the full render seen at that scale shows the
    // ripples clearly stronger, and so must the preview.
    QImage q(400, 300, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < q.height(); ++y)
        for (int x = 0; x < q.width(); ++x) {
            const int v = 128 + static_cast<int>(std::lround(70 * std::sin(x * 2 * M_PI / 20) + 30 * std::sin(y * 2 * M_PI / 28)));
            q.setPixel(x, y, qRgb(v, v, v));
        }
    const Image current = imageFromQImage(q);
    const Rect view = current.extent();
    for (const auto &[name, amountKey] : {std::pair{"CISharpenLuminance", "inputSharpness"}, std::pair{"CIUnsharpMask", "inputIntensity"}}) {
        SCOPED_TRACE(name);
        auto filter = Filter::filterWithName(name);
        filter->setValue(QVariant::fromValue(current), "inputImage");
        filter->setValue(1.0, "inputRadius");
        filter->setValue(2.0, amountKey);
        const Image result = filter->outputImage();
        const double preview = compare(renderToQImage(result, view, 0.25), renderToQImage(current, view, 0.25), 0).mean;
        const double full = compare(averagedDown(renderToQImage(result, view), 4), averagedDown(renderToQImage(current, view), 4), 0).mean;
        EXPECT_GT(full, 2.0);
        EXPECT_NEAR(preview, full, 0.25 * full);
    }
}

TEST(Preview, TranslationsAndRectanglesScaleWithThePicture)
{
    // Spatial values of every form: a transform given as six numbers and as a transform (only
    // their translations scale) and a rectangle (all four numbers).
    const Image current = imageFromQImage(smoothPicture(800, 600));
    const Rect view = current.extent();
    const std::vector<std::pair<const char *, std::pair<const char *, QVariant>>> cases = {
        {"CIAffineClamp", {"inputTransform", QVariant::fromValue(Vector{0.9, 0.1, -0.1, 0.9, 40, -30})}},
        {"CIAffineTile", {"inputTransform", QVariant::fromValue(AffineTransform(0.5, 0, 0, 0.5, 30, 20))}},
        {"CICrop", {"inputRectangle", QVariant::fromValue(Vector{100, 52, 400, 300})}}};
    for (const auto &[name, value] : cases) {
        SCOPED_TRACE(name);
        auto filter = Filter::filterWithName(name);
        standardcomposition::prepare(*filter, current, view);
        filter->setValue(value.second, value.first);
        const Image result = standardcomposition::result(*filter, current, view);
        EXPECT_GE(psnr(renderToQImage(result, view, 0.25), averagedDown(renderToQImage(result, view), 4)), 35.0);
    }
}

namespace {

// Mean absolute channel difference (colour channels), in 8-bit levels.
double meanChange(const QImage &a, const QImage &b)
{
    return compare(a, b, 0).mean;
}

struct Strength
{
    double preview = 0; // what the preview changes in the picture
    double full = 0;    // what the full render changes, seen at the preview's scale
};

// The images the programs give filters that need more than the current one (the glass's texture,
// shading maps, a colour ramp), from the resources they are built with.
standardcomposition::DefaultImages programDefaults()
{
    namespace paths = standardcomposition::defaultimagepaths;
    auto read = [](const char *path) { return [path] { return imageFromQImage(QImage(QString::fromLatin1(path))); }; };
    return {read(paths::texture), read(paths::shadingMap), read(paths::alphaMap), read(paths::ramp), read(paths::mask)};
}

// The filter at its defaults over `photo` as the canvas composes it (with the program's images), previewed at 1/k and rendered
// in full then seen at 1/k (block means), each compared with the plain picture at the same scale.
Strength strengthOf(const QString &name, const Image &photo, int k)
{
    auto filter = Filter::filterWithName(name);
    if (!filter) return {};
    const Rect view = photo.extent();
    standardcomposition::prepare(*filter, photo, view, programDefaults());
    const Image result = standardcomposition::result(*filter, photo, view);
    if (result.isNull()) return {};
    Strength s;
    s.preview = meanChange(renderToQImage(result, view, 1.0 / k), renderToQImage(photo, view, 1.0 / k));
    s.full = meanChange(averagedDown(renderToQImage(result, view), k), averagedDown(renderToQImage(photo, view), k));
    return s;
}

} // namespace

TEST(Preview, EveryFiltersPreviewChangesThePictureAsMuchAsItsFullRender)
{
    // A photograph with fine detail (grain, edges, texture), where a size in pixels that the
    // preview failed to scale shows: a blur, a median or a distortion acting on structures k times
    // too large changes the preview far more than the full render seen at the same scale.
    QImage photo(QStringLiteral(LUMETTA_SOURCE_DIR "/tests/data/coffee.jpg"));
    ASSERT_FALSE(photo.isNull());
    const Image current = imageFromQImage(photo.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    const int k = 4;
    QStringList names;
    for (const CatalogRow &row : catalogRows())
        for (const QString &name : filterNamesInRow(row))
            if (!names.contains(name)) names << name;
    ASSERT_GT(names.size(), 90);

    // Filters whose preview differs from the full render seen at the same scale by nature, with
    // the drift allowed and how the preview treats them:
    // - posterizing is a point operation that is not linear: the full render's bands, averaged by
    //   the screen, give in-between tones, while the preview posterizes the averaged pixels and
    //   shows crisp bands of the same levels (about 1.6 times the change here);
    // - sharpening acts on detail finer than a preview pixel, which the averaged full render no
    //   longer shows: the preview sharpens what the screen shows (within the one-level slack here);
    // - halftone screens, cells, stripes and squares average themselves over each pixel (a screen
    //   finer than a pixel shows its tone); noise is drawn with the spread of the averaged noise;
    //   the median, whose window is within one preview pixel at 1/4, shows the picture (its full
    //   change, about one level, is averaged away and lies within the one-level slack); noise
    //   reduction sharpens and smooths by amounts scaled for the preview; outlines, shading and
    //   the glass's grain are rendered finer and averaged down (up to 4 x 4 samples per pixel).
    //   All of them are held to the common 15 %.
    const QMap<QString, double> byNature = {{"CIColorPosterize", 0.7}};

    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        const Strength s = strengthOf(name, current, k);
        const double drift = std::abs(s.preview - s.full);
        std::printf("%-32s preview %6.2f  full %6.2f  ratio %.2f\n", qPrintable(name), s.preview, s.full,
                    s.full > 0 ? s.preview / s.full : 0.0);
        // Within 15 %, with one level of slack for 8-bit rounding of filters that change little.
        const double allowed = byNature.value(name, 0.15) * s.full + 1.0;
        EXPECT_LE(drift, allowed) << "preview " << s.preview << ", full render seen at 1/" << k << " " << s.full;
    }
}

TEST(Preview, OutlinesAndShadingLookLikeTheResultSeenAtTheSameScaleAtAnyScale)
{
    // Filters drawn with sizes of a few pixels (outlines, a slope over three pixels) are previewed
    // at a finer scale with those sizes scaled, then averaged down. Against the full render seen at
    // the preview's scale (area means), on three photographs and at scales whole and fractional,
    // down to where the finer render is capped: the preview must change the picture as much, and
    // look alike.
    for (const char *file : {"coffee.jpg", "chelsea.png", "rocket.jpg"}) {
        QImage photo(QStringLiteral(LUMETTA_SOURCE_DIR "/tests/data/") + QLatin1String(file));
        ASSERT_FALSE(photo.isNull());
        const Image current = imageFromQImage(photo.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        const Rect view = current.extent();
        // The comic's four colour levels are a step that is not linear: the preview judges how
        // the colours spread inside its pixels from their neighbours, which holds the change it
        // makes within a fifth.
        for (const auto &[name, drift, minimum] : {std::tuple{"CIComicEffect", 0.2, 24.0}, std::tuple{"CIShadedMaterial", 0.15, 26.0}}) {
            auto filter = Filter::filterWithName(name);
            ASSERT_TRUE(filter);
            standardcomposition::prepare(*filter, current, view, programDefaults());
            const Image result = standardcomposition::result(*filter, current, view);
            for (double s : {0.5, 1.0 / 3, 0.27, 0.16, 0.125, 0.07}) {
                SCOPED_TRACE(std::string(name) + " on " + file + " at " + std::to_string(s));
                const Rect shown = Rect::fromEdges(view.x() * s, view.y() * s, view.maxX() * s, view.maxY() * s);
                auto seenAtScale = [&](const Image &full) {
                    return renderToQImage(Image(std::make_shared<AreaReduceNode>(full, 1 / s)), shown);
                };
                const QImage preview = renderToQImage(result, view, s), seen = seenAtScale(result);
                ASSERT_EQ(preview.size(), seen.size());
                const double previewChange = meanChange(preview, renderToQImage(current, view, s));
                const double fullChange = meanChange(seen, seenAtScale(current));
                const double db = psnr(preview, seen);
                std::printf("%s on %s at %.3f: change %.2f, full %.2f; %.1f dB\n", name, file, s, previewChange, fullChange, db);
                EXPECT_NEAR(previewChange, fullChange, drift * fullChange + 1.0);
                EXPECT_GE(db, minimum);
            }
        }
    }
}

TEST(Preview, ShadingKeepsTheTransparentPartsOfThePictureAtAnyScale)
{
    // A picture with a transparent hole and a half-transparent band: the shaded preview must keep
    // both (an opaque picture lets the preview skip the alpha's blur, a translucent one must not).
    QImage photo(QStringLiteral(LUMETTA_SOURCE_DIR "/tests/data/coffee.jpg"));
    ASSERT_FALSE(photo.isNull());
    photo = photo.convertToFormat(QImage::Format_ARGB32);
    const int w = photo.width(), h = photo.height();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb p = photo.pixel(x, y);
            const bool hole = x > w / 4 && x < w / 2 && y > h / 4 && y < h / 2;
            const bool band = y >= 3 * h / 4;
            // Pin holes, two pixels wide, one every 64 pixels in the opaque part: a tile with a
            // single one must not pass for opaque.
            const bool pin = !band && x % 64 < 2 && y % 64 < 2 && x >= 8;
            photo.setPixel(x, y, qRgba(qRed(p), qGreen(p), qBlue(p), hole || pin ? 0 : band ? 128 : 255));
        }
    const Image current = imageFromQImage(photo.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    const Rect view = current.extent();
    auto filter = Filter::filterWithName("CIShadedMaterial");
    ASSERT_TRUE(filter);
    standardcomposition::prepare(*filter, current, view, programDefaults());
    const Image result = standardcomposition::result(*filter, current, view);
    for (int k : {1, 2, 4}) {
        SCOPED_TRACE(k);
        const QImage preview = renderToQImage(result, view, 1.0 / k);
        auto alphaAt = [&](double fx, double fy) { return qAlpha(preview.pixel(static_cast<int>(fx * preview.width()), static_cast<int>(fy * preview.height()))); };
        EXPECT_EQ(alphaAt(0.375, 0.375), 0);         // inside the hole
        EXPECT_EQ(alphaAt(0.75, 0.375), 255);        // opaque
        EXPECT_NEAR(alphaAt(0.5, 0.875), 128, 2);    // the band
        for (int y = 0; y < 3 * h / 4 - 64; y += 64)
            for (int x = 64; x < w; x += 64) {
                if (x > w / 4 - 8 && x < w / 2 + 8 && y > h / 4 - 8 && y < h / 2 + 8) continue; // in the large hole
                EXPECT_LT(qAlpha(preview.pixel(x / k, y / k)), 240) << "pin hole at " << x << "," << y;
            }
    }
}
