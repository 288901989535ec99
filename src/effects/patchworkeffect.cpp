#include "effects/patchworkeffect.h"
#include "effects/patchworksmear.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// The tile's own generator: a few million numbers per tile (the smearing draws one per copy),
// which through the C library's locked rand() cost over a hundred milliseconds per change. It is
// seeded with one number from the drawing's generator, so that the arrangement is still new at
// every change and drawn again as it was when that number is replayed.
class TileRandom
{
public:
    explicit TileRandom(uint64_t seed) : m_state(seed) {}
    // A unit random number as unitRandom makes it: 15 bits over 0 to 1, both ends included.
    double unit() { return double(patchworksmear::next(m_state) >> 49) / 32767.0; }
    // Where the sequence stands: the smearing goes on from here.
    uint64_t state() const { return m_state; }

private:
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
    // Rows of 32-bit pixels follow each other without padding: pixel (c, r) is number r n + c.
    auto *pixels = reinterpret_cast<QRgb *>(tile.bits());

    // Random colours for every pixel but the first, which stays blue.
    for (int i = 1; i < n * n; ++i) {
        const auto v = uint32_t(std::trunc(tileRandom.unit() * 16777216.0));
        const uint32_t w32 = ~v;
        pixels[i] = qRgb(int((w32 >> 16) & 0xFF), int((w32 >> 8) & 0xFF), int(w32 & 0xFF));
    }

    // Smearing: each copy takes as its column the row of the copy before it, (n - 1) copies a pass,
    // with the numbers that follow the colours'.
    const int passes = int(tileRandom.unit() * 13000.0 + 7000.0);
    if (n >= 2)
        patchworksmear::smear(pixels, n, long(passes) * (n - 1), tileRandom.state());
    return tile;
}
