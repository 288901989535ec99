// The picture under a drawn effect, composed small on a large photograph: seen at a quarter it must
// show every pixel's share (fine texture as its mean, not aliased) in its place.
#include "effecttestsupport.h"
#include "picturepsnr.h"

#include "effects/simpleeffects.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

// One-pixel black and white columns (grey seen from afar), with a red band across and a green
// band down; odd sizes, so that halving repeats an edge row and column.
QImage stripedPicture(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            QRgb c = x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
            if (y >= 701 && y < 905)
                c = qRgb(220, 30, 30);
            if (x >= 1001 && x < 1203)
                c = qRgb(30, 200, 40);
            line[x] = c;
        }
    }
    return image;
}

} // namespace

TEST(ComposedPicture, APictureSeenSmallShowsEachPixelsShareInItsPlace)
{
    const QImage picture = stripedPicture(2003, 1501);
    StillImageHost controller(picture);
    simpleEffects proto;
    proto.awakeFromNib();
    auto effect = std::unique_ptr<simpleEffects>(static_cast<simpleEffects *>(proto.mycopy().release()));
    // The picture alone: no colour over it, the drawing invisible.
    effect->setBgColor(Qt::transparent);
    effect->seOpacity(0);
    effect->setDisplayScale(0.25);
    effect->initEffect();
    effect->markInitialised();

    auto compose = [&](const QRectF &part, const QSize &view) {
        QImage shown(view, QImage::Format_ARGB32_Premultiplied);
        shown.fill(Qt::black);
        QPainter painter(&shown);
        EXPECT_TRUE(effect->drawComposition(painter, QRectF(QPointF(0, 0), QSizeF(view)), part));
        return shown;
    };

    // The whole picture at about a quarter: the stripes' grey, the bands where they are.
    const QImage whole = compose(QRectF(0, 0, 2003, 1501), QSize(500, 375));
    EXPECT_GT(psnr(whole, picture.scaled(500, 375, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)), 30.0);

    // A part that falls on whole 4 x 4 blocks of the picture: each pixel shown is its block's mean,
    // give or take the rounding of two halvings. Misplaced by one picture row, the pixels on the
    // red band's edges would be a quarter of the band's contrast off.
    const QRectF part(600, 397, 1200, 900);
    const QImage shown = compose(part, QSize(300, 225));
    int worst = 0;
    for (int y = 0; y < 225; ++y)
        for (int x = 0; x < 300; ++x) {
            int sum[3] = {0, 0, 0};
            for (int j = 0; j < 4; ++j)
                for (int i = 0; i < 4; ++i) {
                    const QRgb p = picture.pixel(600 + 4 * x + i, 397 + 4 * y + j);
                    sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p);
                }
            const QRgb q = shown.pixel(x, y);
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs((sum[c] + 8) / 16 - (c == 0 ? qRed(q) : c == 1 ? qGreen(q) : qBlue(q))));
        }
    EXPECT_LE(worst, 2);
}
