// Cell mosaics: pixels that straddle cells mix the cells' colours by area, so that small cells
// look like large cells seen from afar.
#include <cmath>
#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

#include "imaging/cellmosaic.h"
#include "imaging/filter.h"
#include "imaging/qimageadapter.h"
#include "testimages.h"

using namespace imaging;

namespace {

// An opaque picture whose colour is linear in the position relative to its size: the same
// picture at a tenth of the size has the same colour at the same relative place, also between
// pixel centres.
QImage linearPicture(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = (x + 0.5) / w, v = (y + 0.5) / h;
            img.setPixel(x, y, qRgb(int(std::lround(40 + 180 * u)), int(std::lround(60 + 150 * v)), int(std::lround(200 - 120 * u))));
        }
    return img;
}

// Mean absolute difference per channel (all four) between img averaged over k x k blocks and small.
double meanDifferenceSeenFromAfar(const QImage &img, int k, const QImage &small)
{
    double sum = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x) {
            double m[4] = {0, 0, 0, 0};
            for (int j = 0; j < k; ++j)
                for (int i = 0; i < k; ++i) {
                    const QRgb p = img.pixel(x * k + i, y * k + j);
                    m[0] += qRed(p); m[1] += qGreen(p); m[2] += qBlue(p); m[3] += qAlpha(p);
                }
            const QRgb q = small.pixel(x, y);
            const int s[4] = {qRed(q), qGreen(q), qBlue(q), qAlpha(q)};
            for (int c = 0; c < 4; ++c) sum += std::abs(m[c] / (k * k) - s[c]);
        }
    return sum / (4.0 * small.width() * small.height());
}

} // namespace

TEST(CellMosaic, EdgeCoverageIsTheShareOfThePixelOnTheNearSide)
{
    // Edges along the pixel's sides: linear in the distance, nothing or all beyond half a pixel.
    EXPECT_NEAR(cells::edgeCoverage(0.25, 1, 0), 0.75, 1e-12);
    EXPECT_NEAR(cells::edgeCoverage(-0.25, 0, -1), 0.25, 1e-12);
    EXPECT_EQ(cells::edgeCoverage(0.6, 0, 1), 1.0);
    EXPECT_EQ(cells::edgeCoverage(-0.6, 1, 0), 0.0);
    // A diagonal edge that cuts off a corner with legs of half a pixel leaves it an eighth.
    const double r = std::sqrt(0.5);
    EXPECT_NEAR(cells::edgeCoverage(-r / 2, r, r), 0.125, 1e-12);
    // Any direction and distance against the area counted on a fine grid of the pixel.
    for (double angle : {0.1, 0.4, 0.9, 2.0, 4.0})
        for (double t : {-0.65, -0.4, -0.1, 0.0, 0.2, 0.45, 0.7}) {
            SCOPED_TRACE(testing::Message() << "angle " << angle << " distance " << t);
            const double nx = std::cos(angle), ny = std::sin(angle);
            constexpr int n = 400;
            int inside = 0;
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i) inside += ((i + 0.5) / n - 0.5) * nx + ((j + 0.5) / n - 0.5) * ny < t;
            EXPECT_NEAR(cells::edgeCoverage(t, nx, ny), double(inside) / (n * n), 2e-3);
        }
}

TEST(CellMosaic, SquareCellsMixByAreaAndStayFlatWhenAligned)
{
    // Columns of grey 0, 20, 40, ...; cells two pixels wide with edges at x = 0.5, 2.5, 4.5:
    // each cell shows the column under its centre, pixels cut in two by an edge the mean of two.
    QImage stripes(8, 4, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) stripes.setPixel(x, y, qRgb(20 * x, 20 * x, 20 * x));
    const Image in = imageFromQImage(stripes);
    const QImage out = renderToQImage(cells::squares(in, 0.5, 0, 2), in.extent());
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(qRed(out.pixel(2, y)), 40);  // half of the cell showing 20, half of the one showing 60
        EXPECT_EQ(qRed(out.pixel(3, y)), 60);
        EXPECT_EQ(qRed(out.pixel(4, y)), 80);
        EXPECT_EQ(qAlpha(out.pixel(4, y)), 255);
    }

    // The catalogue's pixellation with cells on whole pixels: every cell flat, in its centre's colour.
    auto pixellate = Filter::filterWithName("CIPixellate");
    ASSERT_TRUE(pixellate);
    const Image picture = imageFromQImage(testimages::pattern(32, 32));
    pixellate->setValue(QVariant::fromValue(picture), "inputImage");
    pixellate->setValue(QVariant::fromValue(Vector{4, 8}), "inputCenter");
    pixellate->setValue(8.0, "inputScale");
    const QImage cellsOut = renderToQImage(pixellate->outputImage(), picture.extent());
    // Cell edges at x = 4, 12, 20, 28 and y = 0, 8, 16, 24 (from either end, 32 being a multiple of 8).
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const int firstX = x < 4 ? 0 : 4 + (x - 4) / 8 * 8, firstY = y / 8 * 8;
            ASSERT_EQ(cellsOut.pixel(x, y), cellsOut.pixel(firstX, firstY)) << x << "," << y;
        }
}

TEST(CellMosaic, SmallCellsLookLikeLargeCellsSeenFromAfar)
{
    // The same mosaic of a picture ten times smaller, with cells ten times smaller (a preview),
    // against the large one averaged over 10 x 10 blocks: straddled pixels must mix the cells by
    // area, as the averaged blocks do, not show whichever cell their centre falls in.
    const Image large = imageFromQImage(linearPicture(400, 400)), small = imageFromQImage(linearPicture(40, 40));
    // Dots barely wider than a pixel, touching their neighbours, are clipped to their cells by the
    // share of one edge and miss dots of a third cell reaching into the pixel: they keep about 95 %
    // of their area (levels 7 apart on average here, of 165 of alpha).
    struct Case
    {
        const char *name;
        std::function<Image(const Image &, double)> make;
        double levels;
    };
    const std::vector<Case> mosaics = {
        {"squares", [](const Image &in, double k) { return cells::squares(in, 7 * k, 3 * k, 23 * k); }, 2.5},
        {"hexagons", [](const Image &in, double k) { return cells::hexagons(in, 150 * k, 150 * k, 14 * k); }, 2.5},
        {"crystals", [](const Image &in, double k) { return cells::crystals(in, 150 * k, 150 * k, 20 * k); }, 2.5},
        {"dots", [](const Image &in, double k) { return cells::dots(in, 150 * k, 150 * k, 32 * k, 16 * k); }, 8.0}};
    for (const auto &[name, make, levels] : mosaics) {
        SCOPED_TRACE(name);
        const QImage big = renderToQImage(make(large, 1.0), large.extent());
        const QImage preview = renderToQImage(make(small, 0.1), small.extent());
        EXPECT_LE(meanDifferenceSeenFromAfar(big, 10, preview), levels);
    }
}

TEST(CellMosaic, CellsFinerThanAPixelShowThePictureUnderIt)
{
    // Several cells to a pixel: the pixel shows the mean of their colours, which is the picture's
    // own colour there, not one of the cells picked at random.
    const QImage plain = linearPicture(40, 30);
    const Image in = imageFromQImage(plain);
    for (const Image &mosaic : {cells::squares(in, 0.3, 0.1, 0.15), cells::squares(in, 0.3, 0.1, 0.3), cells::hexagons(in, 3, 3, 0.2), cells::crystals(in, 3, 3, 0.3)})
        EXPECT_LE(testimages::maxChannelDifference(renderToQImage(mosaic, in.extent()), plain), 1);
}

TEST(CellMosaic, EachHexagonHasThePicturesColourAtItsCentre)
{
    // Hexagons of circumradius 20 with a centre at (150, 150): their centres form two rectangular
    // grids, (i w, j h) and ((i + 1/2) w, (j + 1/2) h) from it, w = 20 sqrt 3 and h = 60. Each
    // pixel clearly inside one hexagon has the picture's colour at that hexagon's centre, which in
    // a picture linear in the position tells the centre apart from its neighbours'.
    const int W = 400, H = 300;
    const double size = 20, w = size * std::sqrt(3.0), h = 3 * size;
    const QImage plain = linearPicture(W, H);
    const QImage mosaic = renderToQImage(cells::hexagons(imageFromQImage(plain), 150, 150, size), Rect(0, 0, W, H));
    int checked = 0, wrong = 0;
    for (int row = 0; row < H; row += 3)
        for (int x = 0; x < W; x += 3) {
            // Image coordinates have y up from the bottom edge.
            const double px = x + 0.5, py = H - row - 0.5;
            double best = INFINITY, second = INFINITY, bx = 0, by = 0;
            for (double offset : {0.0, 0.5})
                for (int j = -4; j <= 4; ++j)
                    for (int i = -6; i <= 10; ++i) {
                        const double cx = 150 + (i + offset) * w, cy = 150 + (j + offset) * h;
                        const double d = std::hypot(px - cx, py - cy);
                        if (d < best) {
                            second = best;
                            best = d, bx = cx, by = cy;
                        } else if (d < second) {
                            second = d;
                        }
                    }
            if (second - best < 3)
                continue;
            // The centre's colour, read where the picture is (a centre beyond it shows the edge).
            const double sx = std::clamp(bx, 0.5, W - 0.5), top = std::clamp(H - by, 0.5, H - 0.5);
            const QRgb expected = qRgb(int(std::lround(40 + 180 * sx / W)), int(std::lround(60 + 150 * top / H)),
                                       int(std::lround(200 - 120 * sx / W)));
            const QRgb got = mosaic.pixel(x, row);
            ++checked;
            if (std::abs(qRed(got) - qRed(expected)) > 2 || std::abs(qGreen(got) - qGreen(expected)) > 2 ||
                std::abs(qBlue(got) - qBlue(expected)) > 2)
                ++wrong;
        }
    EXPECT_GT(checked, 5000);
    EXPECT_EQ(wrong, 0);
}
