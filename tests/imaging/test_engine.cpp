#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "imaging/bufferpool.h"
#include "imaging/cachenode.h"
#include "imaging/filter.h"
#include "imaging/image.h"
#include "imaging/kernels.h"
#include "imaging/pixelconvert.h"
#include "imaging/qimageadapter.h"
#include "imaging/reducenode.h"
#include "imaging/renderer.h"
#include "testimages.h"

using namespace imaging;

TEST(Adapter, RoundTripKeepsPixelsAndOrientation)
{
    QImage src = testimages::pattern(37, 23);
    src.setPixel(0, 0, qRgb(255, 0, 0)); // top-left
    const Image img = imageFromQImage(src);
    EXPECT_EQ(img.extent(), Rect(0, 0, 37, 23));
    const QImage back = qimageFromImage(img);
    ASSERT_EQ(back.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(testimages::maxChannelDifference(back, src), 0);

    // Row 0 of the QImage is the top: image-space y = 22 is the top row.
    PixelBuffer px(PixelRect::fromXYWH(0, 22, 1, 1));
    img.render(px);
    EXPECT_FLOAT_EQ(px.data()[0], 1.0f);
    EXPECT_FLOAT_EQ(px.data()[1], 0.0f);
}

TEST(Adapter, NullAndInfiniteImagesGiveNullQImages)
{
    EXPECT_TRUE(imageFromQImage(QImage()).isNull());
    EXPECT_TRUE(qimageFromImage(Image()).isNull());
    auto gen = Filter::filterWithName("CIConstantColorGenerator");
    ASSERT_TRUE(gen);
    EXPECT_TRUE(gen->outputImage().extent().isInfinite());
    EXPECT_TRUE(qimageFromImage(gen->outputImage()).isNull());
    EXPECT_TRUE(renderToQImage(gen->outputImage(), Rect::infinite()).isNull());
    // An absurd request is refused instead of allocated.
    EXPECT_TRUE(renderToQImage(gen->outputImage(), Rect(0, 0, 1e7, 1e7)).isNull());
}

TEST(Adapter, RenderRegionSizeAndTopRow)
{
    const Image img = imageFromQImage(testimages::pattern(100, 80));
    const QImage part = renderToQImage(img, Rect(10, 20, 30, 40));
    ASSERT_EQ(part.size(), QSize(30, 40));
    // The region's top edge (y = 60) is QImage row 80 - 60 = 20 of the source.
    const QImage full = testimages::pattern(100, 80);
    EXPECT_EQ(part.pixel(0, 0), full.pixel(10, 20));
    EXPECT_EQ(part.pixel(29, 39), full.pixel(39, 59));
    const QImage scaled = renderToQImage(img, Rect(0, 0, 100, 80), 0.25);
    EXPECT_EQ(scaled.size(), QSize(25, 20));
}

TEST(Adapter, ANewPictureInARecycledBitmapHoldsOnlyItsOwnPixels)
{
    // Bitmaps of one size reuse the memory of the last ones freed. A picture with transparent
    // parts and a shifted region, drawn into the memory of an opaque one, must equal the same
    // picture drawn into fresh memory: nothing of the old one may show through.
    const Rect region(-7.5, 3, 900, 700);
    const Image translucent = imageFromQImage(testimages::pattern(400, 300)).transformed(AffineTransform::rotation(0.3));
    const QImage fresh = renderToQImage(translucent, region).copy();
    const uchar *opaqueBits = nullptr;
    {
        const QImage opaque = renderToQImage(imageFromQImage(testimages::solid(900, 700, qRgb(250, 10, 20))), region);
        opaqueBits = opaque.constBits();
    }
    const QImage again = renderToQImage(translucent, region);
    EXPECT_EQ(again.constBits(), opaqueBits);
    EXPECT_EQ(testimages::maxChannelDifference(again, fresh), 0);
    // The next block of the same size is the one just freed; one of another size is not.
    void *a = BufferPool::allocateLarge(8 << 20);
    BufferPool::releaseLarge(a, 8 << 20);
    void *b = BufferPool::allocateLarge(6 << 20);
    void *c = BufferPool::allocateLarge(8 << 20);
    EXPECT_EQ(c, a);
    EXPECT_NE(b, a);
    BufferPool::releaseLarge(b, 6 << 20);
    BufferPool::releaseLarge(c, 8 << 20);
}

TEST(Extents, CropsTransformsAndBlurs)
{
    const Image img = imageFromQImage(testimages::pattern(200, 100));
    EXPECT_EQ(img.cropped(Rect(50, -10, 500, 60)).extent(), Rect(50, 0, 150, 50));
    EXPECT_TRUE(img.cropped(Rect(300, 300, 10, 10)).extent().isEmpty());
    EXPECT_EQ(img.transformed(AffineTransform::translation(5, -7)).extent(), Rect(5, -7, 200, 100));
    const Rect rotated = img.transformed(AffineTransform::rotation(M_PI / 2)).extent();
    EXPECT_NEAR(rotated.x(), -100, 1e-9);
    EXPECT_NEAR(rotated.y(), 0, 1e-9);
    EXPECT_NEAR(rotated.width(), 100, 1e-9);
    EXPECT_NEAR(rotated.height(), 200, 1e-9);
    EXPECT_TRUE(img.transformed(AffineTransform(0, 0, 0, 0, 1, 1)).isNull()); // singular

    auto blur = Filter::filterWithName("CIGaussianBlur");
    blur->setValue(QVariant::fromValue(img), "inputImage");
    blur->setValue(4.0, "inputRadius");
    const Rect e = blur->outputImage().extent();
    EXPECT_TRUE(e.contains(Rect(-12, -12, 224, 124)));
    EXPECT_FALSE(e.isInfinite());
}

TEST(Extents, EveryKindOfNodeClearsWhatLiesOutsideItsExtent)
{
    // A node fills every pixel it is asked for; buffers come from a pool and hold anything, so a
    // node that skips the pixels beyond its extent leaves garbage there.
    const Image img = imageFromQImage(testimages::pattern(60, 40));
    auto filtered = [&](const char *name, std::initializer_list<std::pair<const char *, QVariant>> values) {
        auto f = Filter::filterWithName(name);
        f->setValue(QVariant::fromValue(img), "inputImage");
        for (const auto &[k, v] : values) f->setValue(v, k);
        return f->outputImage();
    };
    const std::vector<std::pair<const char *, Image>> images = {
        {"source", img},
        {"crop", img.cropped(Rect(5, 5, 30, 20))},
        {"transform", img.transformed(AffineTransform(0.8, 0.3, -0.2, 0.9, 3.5, 2.25))},
        {"colour", filtered("CIColorInvert", {})},
        {"warp", filtered("CIHoleDistortion", {{"inputCenter", QVariant::fromValue(Vector{30, 20})}, {"inputRadius", 5.0}})},
        {"smooth warp", filtered("CITwirlDistortion", {{"inputCenter", QVariant::fromValue(Vector{30, 20})}})},
        {"general", filtered("CIBoxBlur", {{"inputRadius", 3.0}})},
        {"gaussian", filtered("CIGaussianBlur", {{"inputRadius", 2.0}})},
        {"coarse gaussian", filtered("CIGaussianBlur", {{"inputRadius", 30.0}})},
        {"blend", filtered("CIBloom", {})},
        {"displacement", filtered("CIDisplacementDistortion", {{"inputDisplacementImage", QVariant::fromValue(img)}, {"inputScale", 300.0}})},
        {"generator", kernels::generator(Rect(3, 4, 20, 10), [](double, double, float *o) { o[0] = o[1] = o[2] = o[3] = 1.f; })},
        {"reduction", Image(std::make_shared<ReduceNode>(img, 3))},
        {"cache", CacheNode::wrap(img)},
        {"repeated then cropped", kernels::repeated(img, 7, 9).cropped(Rect(-10, -10, 100, 70))}};
    for (const auto &[kind, image] : images) {
        SCOPED_TRACE(kind);
        ASSERT_FALSE(image.isNull());
        const PixelRect inside = PixelRect::covering(image.extent());
        PixelBuffer out(inside.adjusted(40));
        out.fill(0.7f, 0.7f, 0.7f, 0.7f);
        image.render(out);
        int dirty = 0;
        for (int y = out.rect().y0; y < out.rect().y1; ++y)
            for (int x = out.rect().x0; x < out.rect().x1; ++x)
                if (!(x >= inside.x0 && x < inside.x1 && y >= inside.y0 && y < inside.y1))
                    for (int c = 0; c < 4; ++c) dirty += out.pixel(x, y)[c] != 0.f;
        EXPECT_EQ(dirty, 0);
    }
}

TEST(Transforms, IdentityAndWholePixelShiftsAreExact)
{
    const QImage src = testimages::pattern(64, 48);
    const Image img = imageFromQImage(src);
    auto t = Filter::filterWithName("CIAffineTransform");
    t->setValue(QVariant::fromValue(img), "inputImage");
    EXPECT_EQ(testimages::maxChannelDifference(qimageFromImage(t->outputImage()), src), 0);

    const Image moved = img.transformed(AffineTransform::translation(3, 2));
    const QImage shifted = renderToQImage(moved, Rect(3, 2, 64, 48));
    EXPECT_EQ(testimages::maxChannelDifference(shifted, src), 0);
}

TEST(Renderer, PiecewiseEqualsWhole)
{
    // A chain with convolutions, a warp and a blend: tiles must stitch without seams.
    const Image img = imageFromQImage(testimages::pattern(300, 260));
    auto blur = Filter::filterWithName("CIGaussianBlur");
    blur->setValue(QVariant::fromValue(img), "inputImage");
    blur->setValue(17.0, "inputRadius"); // takes the coarse-grid path
    auto twirl = Filter::filterWithName("CITwirlDistortion");
    twirl->setValue(QVariant::fromValue(blur->outputImage()), "inputImage");
    const Image chain = twirl->outputImage();
    ASSERT_FALSE(chain.isNull());

    const PixelRect whole = PixelRect::fromXYWH(-20, -10, 330, 290);
    const PixelBuffer a = Renderer::render(chain, whole);
    // Odd pieces that do not line up with the renderer's tiles.
    for (const PixelRect piece : {PixelRect{-20, -10, 117, 133}, PixelRect{117, 133, 310, 280}, PixelRect{51, 7, 52, 8}}) {
        PixelBuffer b(piece);
        chain.render(b);
        for (int y = piece.y0; y < piece.y1; ++y)
            for (int x = piece.x0; x < piece.x1; ++x)
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(a.pixel(x, y)[c], b.pixel(x, y)[c]) << x << "," << y;
    }
}

TEST(Preview, ScaledRenderMatchesDownscaledFullRender)
{
    const Image img = imageFromQImage(testimages::pattern(400, 300).scaled(400, 300));
    auto blur = Filter::filterWithName("CIGaussianBlur");
    blur->setValue(QVariant::fromValue(img), "inputImage");
    blur->setValue(8.0, "inputRadius");
    const Image out = blur->outputImage().cropped(img.extent());
    const QImage preview = renderToQImage(out, img.extent(), 0.25);
    const QImage reference = qimageFromImage(out).scaled(100, 75, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ASSERT_EQ(preview.size(), reference.size());
    // Away from the borders the two agree to a few levels.
    int worst = 0;
    for (int y = 5; y < 70; ++y)
        for (int x = 5; x < 95; ++x)
            worst = std::max(worst, std::abs(qGreen(preview.pixel(x, y)) - qGreen(reference.pixel(x, y))));
    EXPECT_LE(worst, 8);
}

TEST(Kernels, RepeatedTilesJoinExactlyWhereverTheOutputLies)
{
    // Two tiles: a small one read through its cache, and one too large to cache (16.4 million
    // pixels), which each output region renders only where its copies show it. Both must give
    // the tile's pixel at (x - origin) modulo the tile size, across joins in x, in y and (for the
    // small tile: the large one is then read whole) in both.
    auto value = [](double x, double y, float *o) {
        o[0] = static_cast<float>(std::fmod(x * 0.37 + y * 0.11, 1.0));
        o[1] = static_cast<float>(std::fmod(y * 0.23, 1.0));
        o[2] = 0.5f;
        o[3] = 1.f;
    };
    const Image plane = kernels::generator(Rect::infinite(), value);
    for (const Rect tile : {Rect(10, 20, 96, 64), Rect(0, 0, 4100, 4000)}) {
        SCOPED_TRACE(tile.width());
        const Image copies = kernels::repeated(plane.cropped(tile), 123, -45);
        const double w = tile.width(), h = tile.height();
        // Output regions inside one copy, across a vertical join, a horizontal one and a corner.
        for (const PixelRect r : {PixelRect::fromXYWH(140, -30, 40, 30), PixelRect::fromXYWH(123 + int(w) - 20, 0, 40, 20),
                                  PixelRect::fromXYWH(200, -45 + int(h) - 15, 30, 30), PixelRect::fromXYWH(123 - 10, -45 - 10, 20, 20)}) {
            if (w > 1000 && r.x0 == 113) continue;
            PixelBuffer out(r);
            BufferPool::resetPeak();
            copies.render(out);
            // At most a band of the tile, never the whole of it (262 MB as floats).
            EXPECT_LT(BufferPool::statistics().acquired, std::size_t(32) << 20);
            float worst = 0;
            for (int y = r.y0; y < r.y1; ++y)
                for (int x = r.x0; x < r.x1; ++x) {
                    float expected[4];
                    value(tile.x() + std::fmod(std::fmod(x + 0.5 - 123, w) + w, w), tile.y() + std::fmod(std::fmod(y + 0.5 + 45, h) + h, h),
                          expected);
                    for (int c = 0; c < 4; ++c) worst = std::max(worst, std::abs(out.pixel(x, y)[c] - expected[c]));
                }
            EXPECT_LT(worst, 1e-5f) << r.x0 << "," << r.y0;
        }
    }
}

namespace {

// A picture with transparency and varying alpha, so that premultiplied arithmetic shows.
QImage translucentPattern(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int a = (x * 5 + y * 11) % 256;
            img.setPixel(x, y, qRgba((x * 7 + y * 3) % 256 * a / 255, (x * x + y) % 256 * a / 255, (x ^ y) % 256 * a / 255, a));
        }
    return img;
}

// The float render of `region`, converted to 8 bits as the tiled path does (top row first).
QImage tiledReference(const Image &image, const PixelRect &region)
{
    const PixelBuffer b = Renderer::render(image, region);
    QImage out(region.width(), region.height(), QImage::Format_ARGB32_Premultiplied);
    for (int y = region.y0; y < region.y1; ++y)
        for (int x = region.x0; x < region.x1; ++x) {
            const float *p = b.pixel(x, y);
            auto byte = [](float v) { return static_cast<int>(std::clamp(v, 0.f, 1.f) * 255.f + 0.5f); };
            const int a = byte(p[3]);
            out.setPixel(x - region.x0, region.y1 - 1 - y,
                         qRgba(std::min(byte(p[0]), a), std::min(byte(p[1]), a), std::min(byte(p[2]), a), a));
        }
    return out;
}

} // namespace

TEST(Adapter, PointFiltersOverABitmapGiveTheTiledResult)
{
    // Colour kernels straight over an 8-bit picture are run row by row from byte to byte. Their
    // result must be the tiled render's, bit for bit: a chain of two filters, rows wider than
    // one working segment, a region off the origin, a cropped source and a preview scale.
    const Image picture = imageFromQImage(translucentPattern(613, 97));
    auto exposure = Filter::filterWithName("CIExposureAdjust");
    exposure->setValue(QVariant::fromValue(picture.cropped(Rect(3, 2, 600, 90))), "inputImage");
    exposure->setValue(0.7, "inputEV");
    auto invert = Filter::filterWithName("CIColorInvert");
    invert->setValue(QVariant::fromValue(exposure->outputImage()), "inputImage");
    const Image chain = invert->outputImage();
    ASSERT_FALSE(chain.isNull());

    for (const PixelRect r : {PixelRect{3, 2, 603, 92}, PixelRect{40, 10, 580, 71}}) {
        SCOPED_TRACE(r.x0);
        EXPECT_EQ(testimages::maxChannelDifference(renderToQImage(chain, r.toRect()), tiledReference(chain, r)), 0);
    }
    // Beyond the picture the kernel must not run (an inverted transparent pixel stays transparent).
    const QImage wider = renderToQImage(chain, Rect(0, 0, 613, 97));
    EXPECT_EQ(wider.pixel(0, 0), 0u);
    EXPECT_EQ(testimages::maxChannelDifference(wider, tiledReference(chain, PixelRect{0, 0, 613, 97})), 0);

    const std::atomic<bool> cancelled{true};
    EXPECT_TRUE(renderToQImage(chain, Rect(3, 2, 600, 90), 1.0, &cancelled).isNull());
}

TEST(Kernels, WarpsReadBitmapsInPlaceAsTheyReadRenderedPixels)
{
    // A warp over a bitmap, a crop of it and a cache of it samples the bytes where they lie; the
    // samples must equal those of the same pixels rendered to floats, at the picture's edges and
    // beyond them too (transparent there).
    const Image picture = imageFromQImage(translucentPattern(61, 47));
    auto shifted = [](double x, double y, double &sx, double &sy) {
        sx = x * 1.13 - 4.3 + 0.01 * y;
        sy = y * 0.91 + 2.6;
    };
    for (const Image &input : {picture, picture.cropped(Rect(5.2, 3.7, 40, 30)), CacheNode::wrap(picture)}) {
        // The same pixels behind a node the sampler cannot see through: rendered per tile.
        const Image opaqueToSampler = input.transformed(AffineTransform::translation(1, 0)).transformed(AffineTransform::translation(-1, 0));
        const PixelRect r{-12, -9, 80, 60};
        const PixelBuffer direct = Renderer::render(kernels::warp(input, Rect::infinite(), shifted), r);
        const PixelBuffer rendered = Renderer::render(kernels::warp(opaqueToSampler, Rect::infinite(), shifted), r);
        for (int y = r.y0; y < r.y1; ++y)
            for (int x = r.x0; x < r.x1; ++x)
                for (int c = 0; c < 4; ++c)
                    ASSERT_NEAR(direct.pixel(x, y)[c], rendered.pixel(x, y)[c], 1e-6) << x << "," << y;
    }
}

TEST(Kernels, SmoothWarpsLeaveWhatTheyDoNotMoveExactlyAsItWas)
{
    // A bulge within a disc, still elsewhere: outside it every pixel is the input's own (read
    // from a bitmap or from rendered pixels alike), inside it the picture moves. With clamped
    // edges the picture's border repeats beyond it, also where the map stands still.
    const QImage bitmap = translucentPattern(150, 110);
    const Image picture = imageFromQImage(bitmap);
    const Image opaqueToSampler = picture.transformed(AffineTransform::translation(1, 0)).transformed(AffineTransform::translation(-1, 0));
    auto bulge = [](double x, double y, double &sx, double &sy) {
        const double dx = x - 60, dy = y - 50, t = std::hypot(dx, dy) / 30;
        const double k = t < 1 ? 0.5 + 0.5 * t : 1.0;
        sx = 60 + dx * k;
        sy = 50 + dy * k;
    };
    for (const Image &input : {picture, opaqueToSampler}) {
        const PixelRect r{-20, -10, 170, 130};
        const PixelBuffer clamped = Renderer::render(kernels::smoothWarp(input, Rect(-20, -10, 190, 140), bulge, kernels::Edge::Clamp), r);
        const PixelBuffer plain = Renderer::render(kernels::smoothWarp(input, input.extent(), bulge), r);
        int moved = 0;
        for (int y = r.y0; y < r.y1; ++y)
            for (int x = r.x0; x < r.x1; ++x) {
                const int cx = std::clamp(x, 0, 149), cy = std::clamp(y, 0, 109);
                const QRgb p = bitmap.pixel(cx, 109 - cy);
                const float want[4] = {qRed(p) / 255.f, qGreen(p) / 255.f, qBlue(p) / 255.f, qAlpha(p) / 255.f};
                const bool beyond = cx != x || cy != y;
                if (std::hypot(x + 0.5 - 60, y + 0.5 - 50) > 36) {
                    for (int c = 0; c < 4; ++c) {
                        ASSERT_NEAR(clamped.pixel(x, y)[c], want[c], 1e-6) << x << "," << y;
                        ASSERT_NEAR(plain.pixel(x, y)[c], beyond ? 0.f : want[c], 1e-6) << x << "," << y;
                    }
                } else if (std::abs(plain.pixel(x, y)[3] - want[3]) > 0.01f) {
                    ++moved;
                }
            }
        EXPECT_GT(moved, 1000);
    }
}

TEST(PixelConversions, EveryLengthGivesThePixelByPixelDefinition)
{
    // Rows of every length up to a few vector widths, so that the wide paths, the narrow ones and
    // the pixel-by-pixel tails all run: bytes B G R A to floats R G B A (over 255), floats back to
    // bytes (rounded, alpha clamped to 0..1 and colour to 0..alpha), and rows halved (2 x 2
    // averages rounded, the last column repeated when the width is odd).
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_real_distribution<float> value(-0.2f, 1.2f);
    for (int n = 1; n <= 21; ++n) {
        SCOPED_TRACE(n);
        std::vector<uchar> bytes(4 * n), other(4 * n), back(4 * n), half(4 * ((n + 1) / 2));
        for (uchar &b : bytes) b = static_cast<uchar>(byte(rng));
        for (uchar &b : other) b = static_cast<uchar>(byte(rng));
        std::vector<float> floats(4 * n);
        pixelconvert::argb32ToFloat(bytes.data(), floats.data(), n);
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < 4; ++c)
                ASSERT_EQ(floats[4 * i + c], bytes[4 * i + (c == 3 ? 3 : 2 - c)] * (1.0f / 255.0f)) << i << " " << c;

        for (float &f : floats) f = value(rng);
        pixelconvert::floatToArgb32(floats.data(), back.data(), n);
        for (int i = 0; i < n; ++i) {
            const float a = std::clamp(floats[4 * i + 3], 0.f, 1.f);
            auto toByte = [](float v) { return static_cast<int>(v * 255.0f + 0.5f); };
            ASSERT_EQ(back[4 * i + 3], toByte(a)) << i;
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(back[4 * i + 2 - c], toByte(std::clamp(floats[4 * i + c], 0.f, a))) << i << " " << c;
        }

        pixelconvert::halveRows(bytes.data(), other.data(), half.data(), n);
        for (int o = 0; o < (n + 1) / 2; ++o) {
            const int x0 = 2 * o, x1 = std::min(2 * o + 1, n - 1);
            for (int c = 0; c < 4; ++c) {
                const int sum = bytes[4 * x0 + c] + bytes[4 * x1 + c] + other[4 * x0 + c] + other[4 * x1 + c];
                ASSERT_EQ(half[4 * o + c], (sum + 2) >> 2) << o << " " << c;
            }
        }
    }
}
