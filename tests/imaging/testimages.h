#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include "imaging/image.h"
#include "imaging/qimageadapter.h"

// Small synthetic pictures shared by the engine tests.
namespace testimages {

// A deterministic, opaque, colourful gradient with some texture.
inline QImage pattern(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 7 + y * 3) % 256, (x * x + y) % 256, (x ^ y) % 256));
    return img;
}

inline QImage solid(int w, int h, QRgb c)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(c);
    return img;
}

inline QString photoPath() { return QStringLiteral(LUMETTA_TEST_DATA "/chelsea.png"); }

inline int maxChannelDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size()) return 1000;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return worst;
}

} // namespace testimages
