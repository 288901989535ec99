// The comic's flat colours for a reduced picture: each pixel takes the mean level over the
// colours it spans, judged from its neighbours, darkened by its outline.
#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "imaging/comiclevels.h"

using namespace imaging;

namespace {

// The mean of the four levels (0 below 0.5, 1 up to 1.5, 2 up to 2.5, 3 above) over [u - h, u + h],
// from the share of the range each level covers.
double meanLevel(double u, double h)
{
    const double lo = u - h, hi = u + h;
    const double edges[5] = {-1e30, 0.5, 1.5, 2.5, 1e30};
    double sum = 0;
    for (int level = 0; level < 4; ++level) sum += level * std::max(0.0, std::min(hi, edges[level + 1]) - std::max(lo, edges[level]));
    return sum / (hi - lo);
}

struct Row
{
    static constexpr int n = 7, stride = (n + 2) * 4;
    std::vector<float> pixels = std::vector<float>(3 * stride); // the rows below, at and above
    std::vector<float> edge = std::vector<float>(n);

    float *at(int x, int y) { return &pixels[static_cast<std::size_t>(y + 1) * stride + (x + 1) * 4]; }
    void set(int x, int y, float r, float g, float b, float a)
    {
        float *p = at(x, y);
        p[0] = r * a; p[1] = g * a; p[2] = b * a; p[3] = a;
    }

    // The expected channel c of pixel x of the row, worked out in doubles.
    double expected(int x, int c)
    {
        const float *p = at(x, 0);
        const double a = p[3];
        if (a <= 0) return 0;
        const double k = 3.3 / a;
        const double gx = at(x + 1, 0)[c] - at(x - 1, 0)[c], gy = at(x, 1)[c] - at(x, -1)[c];
        // Spreads below a thousandth of a level count as that thousandth.
        const double h = std::max(std::hypot(gx, gy) * k, 1e-3);
        const double ink = 1 - std::clamp(edge[x] * 1.5, 0.0, 1.0);
        return meanLevel(p[c] * k, h) * ink * a / 3;
    }
};

Row sampleRow()
{
    Row row;
    for (int y = -1; y <= 1; ++y)
        for (int x = -1; x <= Row::n; ++x)
            row.set(x, y, 0.5f + 0.4f * std::sin(x * 1.7f + y), 0.3f + 0.25f * std::cos(x * 0.9f - 2 * y), 0.62f, 1.f);
    // Flat surroundings: the level of the colour itself (3.3 * 0.46 = 1.518, level 2, close
    // enough to the step to level 1 that a spread of a tenth of a level would show).
    for (int y = -1; y <= 1; ++y)
        for (int x = -1; x <= 1; ++x) row.set(x, y, 0.46f, 0.46f, 0.46f, 1.f);
    row.set(3, 0, 0.7f, 0.1f, 0.45f, 0.5f); // translucent
    row.set(4, 0, 0.f, 0.f, 0.f, 0.f);      // transparent
    row.set(6, 1, 0.05f, 0.95f, 0.2f, 1.f); // a steep step above the last pixel
    row.edge = {0.f, 0.f, 0.3f, 0.f, 0.f, 1.f, 0.1f};
    return row;
}

} // namespace

TEST(StylizeComicLevels, EachPixelTakesTheMeanLevelOverTheColoursItsNeighboursSpan)
{
    Row row = sampleRow();
    // The whole row at once, and each pixel on its own (the paths for runs of pixels and for
    // single ones must agree with the same sums).
    std::vector<float> whole(Row::n * 4), single(4);
    comiclevels::spreadRow(row.at(0, 0), Row::stride, row.edge.data(), whole.data(), Row::n);
    for (int x = 0; x < Row::n; ++x) {
        SCOPED_TRACE(x);
        comiclevels::spreadRow(row.at(x, 0), Row::stride, &row.edge[x], single.data(), 1);
        for (int c = 0; c < 3; ++c) {
            // Floats lose about 1e-4 where the spread is narrow (a difference of two integrals).
            EXPECT_NEAR(whole[4 * x + c], row.expected(x, c), 1e-4) << "channel " << c;
            EXPECT_NEAR(single[c], row.expected(x, c), 1e-4) << "channel " << c;
        }
        EXPECT_EQ(whole[4 * x + 3], row.at(x, 0)[3]);
        EXPECT_EQ(single[3], row.at(x, 0)[3]);
    }
}

TEST(StylizeComicLevels, FlatColourTakesItsOwnLevelAndOutlinesDarkenIt)
{
    Row row = sampleRow();
    std::vector<float> out(Row::n * 4);
    comiclevels::spreadRow(row.at(0, 0), Row::stride, row.edge.data(), out.data(), Row::n);
    // Pixel 0 sits in flat grey: two levels of three, undarkened.
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(out[c], 2.f / 3, 1e-4);
    // A full outline (pixel 5) leaves no colour; a transparent pixel (4) has none to give.
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(out[4 * 5 + c], 0.f);
        EXPECT_EQ(out[4 * 4 + c], 0.f);
    }
}
