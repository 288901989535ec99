#include "effects/patchworkeffect.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>

void patchWorkEffect::awakeFromNib()
{
    setName(tr("Patch Works"));
    setTips(tr("Patch Works Effect Generator"));
    setDefaults();
}

std::vector<DrawnSetting> patchWorkEffect::settings() const
{
    auto list = commonSettings(QColor::fromRgbF(1, 1, 1, 0.5), 40, tr("Objects opacity:"));
    list.insert(list.end(), {
        // Kept and stored, without a control.
        {.key = QStringLiteral("level"), .member = member(&patchWorkEffect::m_level), .defaultValue = 7},
        {.key = QStringLiteral("lineWidth"), .member = member(&patchWorkEffect::m_lineWidth), .defaultValue = 7.5},
        {.key = QStringLiteral("startPT"), .member = member(&patchWorkEffect::m_startPT),
         .defaultValue = QPointF(unsetCoordinate, unsetCoordinate), .stored = false, .copied = false},
        generateButton(100),
    });
    return list;
}

void patchWorkEffect::makeImageEffect()
{
    // The rendering is the tile itself, shown stretched as blocks over the image's size: the
    // same picture as a full-size stretch, without a full-size bitmap per rendering.
    const QSize size = renderSize();
    m_effectImage = drawPatchwork(size.width(), size.height());
    m_effectImageSize = m_effectImage.isNull() ? QSizeF() : QSizeF(size);
    m_smoothStretch = false;
}

void patchWorkEffect::drawMyself(QPainter &painter, const QRectF &rect)
{
    const QImage tile = drawPatchwork(int(rect.width()), int(rect.height()));
    if (tile.isNull())
        return;
    // Bitmaps are drawn upright: undo the y-up flip of the drawing coordinates.
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.resetTransform();
    painter.drawImage(QRectF(rect.x(), 0, rect.width(), rect.height()), tile);
    painter.restore();
}

QImage patchWorkEffect::drawPatchwork(int w, int h)
{
    int n = std::min(w, h);
    n = std::min(n, maxTile);
    if (n < 1)
        return {};
    QImage tile(n, n, QImage::Format_RGB32);
    tile.fill(QColor(0, 0, 255));
    uchar *bits = tile.bits();
    const qsizetype stride = tile.bytesPerLine();
    // Pixels are set and copied through their colour bytes (red, green, blue), as in a raw bitmap.
    auto pixel = [&](int c, int r) { return reinterpret_cast<QRgb *>(bits + r * stride) + c; };

    // Random colours for every pixel but the first, which stays blue.
    for (int i = 1; i < n * n; ++i) {
        const auto v = uint32_t(std::trunc(unitRandom() * 16777216.0));
        const uint32_t w32 = ~v;
        *pixel(i % n, i / n) = qRgb(int((w32 >> 16) & 0xFF), int((w32 >> 8) & 0xFF), int(w32 & 0xFF));
    }

    // Smearing: each copy takes as its column the row of the copy before it.
    const int passes = int(unitRandom() * 13000.0 + 7000.0);
    int p = 0;
    if (n >= 2) {
        for (int k = 0; k < passes; ++k) {
            for (int j = 0; j < n - 1; ++j) {
                const int q = p;
                p = int(unitRandom() * (n - 3));
                const int a = int(unitRandom() * 3.0);
                const int b = int(unitRandom() * 3.0);
                const int dc = q + a, dr = p + b;
                // Two draws at their maximum could reach one pixel beyond the tile (and a tile
                // narrower than 3 gives negative rows): such a copy is skipped.
                if (q < 0 || p < 0 || dc >= n || dr >= n)
                    continue;
                *pixel(dc, dr) = *pixel(q, p);
            }
        }
    }
    return tile;
}
