// The sketch's look is pinned by stored pictures: a change that makes it faster must not make it
// look different. Each stored picture holds the premultiplied bytes as they are (saved as plain
// ARGB32, so that the file keeps them exactly, translucent pixels included).
#include "effects/sketcheffect.h"

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

QString dataPath(const char *name)
{
    return QStringLiteral(LUMETTA_TEST_DATA "/") + QLatin1String(name);
}

QImage storedPicture(const char *name)
{
    QImage stored(dataPath(name));
    if (stored.isNull())
        return {};
    stored = stored.convertToFormat(QImage::Format_ARGB32);
    // The bytes are premultiplied already: reinterpret them, do not convert.
    return QImage(stored.constBits(), stored.width(), stored.height(), stored.bytesPerLine(),
                  QImage::Format_ARGB32_Premultiplied)
        .copy();
}

// `image` (ARGB32 or premultiplied) in the other of the two formats, converted pixel by pixel in
// integers: the library's whole-image conversions round differently on different processors, and
// the sketch's dodge magnifies a level of difference in translucent pixels.
QImage convertedPixelByPixel(const QImage &image, QImage::Format format)
{
    QImage out(image.size(), format);
    for (int y = 0; y < image.height(); ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = format == QImage::Format_ARGB32_Premultiplied ? qPremultiply(in[x]) : qUnpremultiply(in[x]);
    }
    return out;
}

// The cat with an alpha ramp from transparent (left) to opaque (right), a fully transparent band
// and a half-transparent one: the grey copy, the blur and the dodge all meet translucent pixels.
QImage translucentCat()
{
    QImage cat = QImage(dataPath("chelsea.png")).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < cat.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(cat.scanLine(y));
        for (int x = 0; x < cat.width(); ++x) {
            int a = x * 255 / (cat.width() - 1);
            if (y >= 100 && y < 120)
                a = 0;
            else if (y >= 200 && y < 230)
                a = 128;
            line[x] = qRgba(qRed(line[x]), qGreen(line[x]), qBlue(line[x]), a);
        }
    }
    return convertedPixelByPixel(cat, QImage::Format_ARGB32_Premultiplied);
}

// The largest difference of any channel, and how many pixels differ at all.
struct Difference
{
    int largest = 0;
    int pixels = 0;
};

Difference compare(const QImage &a, const QImage &b)
{
    Difference d;
    for (int y = 0; y < a.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *q = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int m = std::max({std::abs(qRed(p[x]) - qRed(q[x])), std::abs(qGreen(p[x]) - qGreen(q[x])),
                                    std::abs(qBlue(p[x]) - qBlue(q[x])), std::abs(qAlpha(p[x]) - qAlpha(q[x]))});
            d.largest = std::max(d.largest, m);
            d.pixels += m > 0;
        }
    }
    return d;
}

void expectSketchLike(const QImage &input, const char *stored)
{
    const QImage expected = storedPicture(stored);
    ASSERT_FALSE(expected.isNull()) << stored;
    const QImage sketched = sketchEffect::convertImage(input).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_EQ(sketched.size(), expected.size());
    const Difference d = compare(sketched, expected);
    // Rounding may move a value by one step, on a few pixels.
    EXPECT_LE(d.largest, 1) << stored;
    EXPECT_LE(d.pixels, sketched.width() * sketched.height() / 100) << stored;
}

} // namespace

TEST(SketchLook, MatchesTheStoredSketches)
{
    // An opaque photograph whose width and height are not multiples of the blur's cells.
    const QImage cat(dataPath("chelsea.png"));
    ASSERT_FALSE(cat.isNull());
    expectSketchLike(cat, "sketch_chelsea.png");
    // The same picture in the other bitmap formats the canvas may hold gives the same sketch.
    expectSketchLike(cat.convertToFormat(QImage::Format_ARGB32_Premultiplied), "sketch_chelsea.png");
    expectSketchLike(cat.convertToFormat(QImage::Format_RGB888), "sketch_chelsea.png");
    // Translucent and transparent pixels.
    expectSketchLike(translucentCat(), "sketch_chelsea_translucent.png");
    expectSketchLike(convertedPixelByPixel(translucentCat(), QImage::Format_ARGB32), "sketch_chelsea_translucent.png");
}

TEST(SketchLook, TinyAndOddSizedPictures)
{
    // Pictures smaller than one cell of the blur, and one row or one column high.
    for (const QSize size : {QSize(1, 1), QSize(3, 2), QSize(1, 37), QSize(41, 1)}) {
        QImage picture(size, QImage::Format_ARGB32_Premultiplied);
        picture.fill(QColor(90, 140, 200));
        const QImage sketched = sketchEffect::convertImage(picture);
        ASSERT_EQ(sketched.size(), size);
        // A flat picture comes out as its own grey, brightened by the dodge: never darker.
        const int grey = qGray(qRgb(90, 140, 200));
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                EXPECT_GE(qGray(sketched.pixel(x, y)), grey) << size.width() << "x" << size.height();
    }
}

