#include "effects/patchworkeffect.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

// The tile's own generator: a few million numbers per tile (the smearing draws three per copy),
// which through the C library's locked rand() cost over a hundred milliseconds per change. It is
// seeded with one number from the drawing's generator, so that the arrangement is still new at
// every change and drawn again as it was when that number is replayed.
class TileRandom
{
public:
    explicit TileRandom(uint64_t seed) : m_state(seed) {}
    // A unit random number as unitRandom makes it: 15 bits over 0 to 1, both ends included.
    double unit() { return double(next() >> 49) / 32767.0; }
    // Three such numbers from one draw, as their 15 bits: the top three quarters of a word.
    std::array<int, 3> threeUnits()
    {
        const uint64_t r = next();
        return {int(r >> 49), int((r >> 34) & 0x7FFF), int((r >> 19) & 0x7FFF)};
    }

private:
    // splitmix64: every seed gives a full-period, well-mixed sequence.
    uint64_t next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint64_t m_state;
};

} // namespace

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
    TileRandom tileRandom{uint64_t(drawRand())};
    QImage tile(n, n, QImage::Format_RGB32);
    tile.fill(QColor(0, 0, 255));
    uchar *bits = tile.bits();
    const qsizetype stride = tile.bytesPerLine();
    // Pixels are set and copied through their colour bytes (red, green, blue), as in a raw bitmap.
    auto pixel = [&](int c, int r) { return reinterpret_cast<QRgb *>(bits + r * stride) + c; };

    // Random colours for every pixel but the first, which stays blue.
    for (int i = 1; i < n * n; ++i) {
        const auto v = uint32_t(std::trunc(tileRandom.unit() * 16777216.0));
        const uint32_t w32 = ~v;
        *pixel(i % n, i / n) = qRgb(int((w32 >> 16) & 0xFF), int((w32 >> 8) & 0xFF), int(w32 & 0xFF));
    }

    // Smearing: each copy takes as its column the row of the copy before it.
    const int passes = int(tileRandom.unit() * 13000.0 + 7000.0);
    int p = 0;
    if (n >= 2) {
        for (int k = 0; k < passes; ++k) {
            for (int j = 0; j < n - 1; ++j) {
                // Units k / 32767 scaled and truncated, in integers.
                const int q = p;
                const auto [kp, ka, kb] = tileRandom.threeUnits();
                p = kp * (n - 3) / 32767;
                const int a = ka * 3 / 32767;
                const int b = kb * 3 / 32767;
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
