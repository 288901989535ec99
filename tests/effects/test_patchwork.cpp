// The patchwork's tile: a new one at every change, the same one for the same seed, and random
// colours smeared into clumps; the picture written is the tile shown, stretched as blocks.
#include "effecttestsupport.h"

#include "effects/patchworkeffect.h"
#include "effects/patchworksmear.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

namespace {

struct TileStats
{
    int colours = 0;       // distinct colours
    double sameRight = 0;  // share of pixels whose right neighbour has the same colour
    double meanChannel = 0; // mean of the three channels over the tile
};

TileStats statsOf(const QImage &tile)
{
    TileStats stats;
    std::set<QRgb> colours;
    long same = 0, pairs = 0;
    double sum = 0;
    for (int y = 0; y < tile.height(); ++y)
        for (int x = 0; x < tile.width(); ++x) {
            const QRgb p = tile.pixel(x, y);
            colours.insert(p);
            sum += qRed(p) + qGreen(p) + qBlue(p);
            if (x + 1 < tile.width()) {
                ++pairs;
                same += tile.pixel(x + 1, y) == p;
            }
        }
    stats.colours = int(colours.size());
    stats.sameRight = double(same) / double(pairs);
    stats.meanChannel = sum / (3.0 * tile.width() * tile.height());
    return stats;
}

} // namespace

TEST(PatchWorkTile, EveryChangeIsANewTileAndTheSameSeedGivesTheSameOne)
{
    std::srand(21);
    const QImage first = patchWorkEffect::drawPatchwork(726, 544);
    const QImage second = patchWorkEffect::drawPatchwork(726, 544);
    EXPECT_NE(first, second) << "two changes drew the same tile";
    std::srand(21);
    EXPECT_EQ(patchWorkEffect::drawPatchwork(726, 544), first) << "the tile does not follow the seed";
    std::srand(22);
    EXPECT_NE(patchWorkEffect::drawPatchwork(726, 544), first);
    // A small tile takes its numbers from the same generator.
    std::srand(21);
    const QImage small = patchWorkEffect::drawPatchwork(40, 30);
    std::srand(21);
    EXPECT_EQ(patchWorkEffect::drawPatchwork(40, 30), small);
}

TEST(PatchWorkTile, RandomColoursSmearedIntoClumps)
{
    // Many tiles: the passes (7000 to 20000) and the colours vary from one to the next.
    for (int seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        std::srand(unsigned(seed));
        const QImage tile = patchWorkEffect::drawPatchwork(726, 544);
        ASSERT_EQ(tile.size(), QSize(200, 200));
        EXPECT_EQ(tile.pixel(0, 0), qRgb(0, 0, 255));
        const TileStats s = statsOf(tile);
        // Random colours over the whole range: their mean is near the middle.
        EXPECT_NEAR(s.meanChannel, 127.5, 15.0);
        // The copies go one pixel right or down at most, millions of times: colours spread into
        // clumps (some 600 to 900 of the 40000 colours survive, and about half of the neighbours
        // share one), where unsmeared random colours would almost all differ.
        EXPECT_GT(s.sameRight, 0.3);
        EXPECT_LT(s.sameRight, 0.7);
        EXPECT_GT(s.colours, 300);
        EXPECT_LT(s.colours, 2000);
    }
    // Colours use the full range of each channel.
    std::srand(9);
    const QImage tile = patchWorkEffect::drawPatchwork(300, 300);
    int low = 255, high = 0;
    for (int y = 0; y < tile.height(); ++y)
        for (int x = 0; x < tile.width(); ++x) {
            low = std::min(low, qRed(tile.pixel(x, y)));
            high = std::max(high, qRed(tile.pixel(x, y)));
        }
    EXPECT_LE(low, 2);
    EXPECT_GE(high, 253);
}

TEST(PatchWorkTile, TheWrittenPictureIsTheTileShownOnALargePicture)
{
    // Above the size drawn at the canvas's size: the tile is the same at every size, so Apply writes
    // the tile the canvas shows, stretched as blocks.
    StillImageHost controller(solidImage(2400, 2000, Qt::black));
    patchWorkEffect proto;
    proto.awakeFromNib();
    auto patch = std::unique_ptr<patchWorkEffect>(static_cast<patchWorkEffect *>(proto.mycopy().release()));
    patch->seOpacity(100);
    patch->setDisplayScale(0.25);
    patch->initEffect();
    patch->markInitialised();
    const QImage tile = patch->effectImage();
    ASSERT_EQ(tile.size(), QSize(200, 200));
    const QImage full = patch->getDrawImage();
    ASSERT_EQ(full.size(), QSize(2400, 2000));
    EXPECT_EQ(patch->effectImage(), tile) << "the full size drew a new tile";
    // Each tile pixel is a block of 12 x 10 picture pixels, top row first.
    const QImage written = full.convertToFormat(QImage::Format_RGB32);
    // Sharp blocks: their first and last pixels too, not blends with the neighbouring blocks.
    for (int ty : {0, 57, 199})
        for (int tx : {0, 101, 199})
            for (const QPoint in : {QPoint(6, 5), QPoint(0, 0), QPoint(11, 9), QPoint(0, 9), QPoint(11, 0)})
                EXPECT_EQ(written.pixel(tx * 12 + in.x(), ty * 10 + in.y()), tile.pixel(tx, ty)) << tx << "," << ty;
}

TEST(PatchWorkTile, EveryWayOfSmearingGivesTheSameTile)
{
    // The copies in vector groups hand the generator and the last row on to the ones made singly
    // (counts not a multiple of four); the largest tile checks the groups' division at its limit.
    using patchworksmear::Vectors;
    for (const int n : {2, 3, 4, 5, 37, 200, 256})
        for (const long copies : {1L, 3L, 4L, 4097L, 300001L}) {
            SCOPED_TRACE(testing::Message() << n << " pixels, " << copies << " copies");
            std::vector<uint32_t> start(std::size_t(n) * n);
            for (std::size_t i = 0; i < start.size(); ++i)
                start[i] = uint32_t(i * 2654435761u);
            const uint64_t state = 0x1234567 + uint64_t(n) * copies;
            std::vector<uint32_t> single = start, avx2 = start, widest = start;
            patchworksmear::smear(single.data(), n, copies, state, Vectors::None);
            patchworksmear::smear(avx2.data(), n, copies, state, Vectors::Avx2);
            patchworksmear::smear(widest.data(), n, copies, state, Vectors::Widest);
            EXPECT_EQ(avx2, single);
            EXPECT_EQ(widest, single);
            if (copies > 4000 && n >= 3) {
                EXPECT_NE(single, start) << "nothing was copied";
            }
        }
}
