#include "effects/plasmaeffect.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

void plasmaEffect::awakeFromNib()
{
    setName(tr("Plasma Effect"));
    setTips(tr("Plasma Effect Generator"));
    setDefaults();
}

std::vector<DrawnSetting> plasmaEffect::settings() const
{
    auto list = commonSettings(QColor::fromRgbF(1, 1, 1, 0.5), 40, tr("Plasma opacity:"));
    list.insert(list.end(), {
        {.key = QStringLiteral("startPT"), .member = member(&plasmaEffect::m_startPT),
         .defaultValue = QPointF(unsetCoordinate, unsetCoordinate), .stored = false, .copied = false},
        generateButton(100),
    });
    return list;
}

std::unique_ptr<BaseEffect> plasmaEffect::mycopy() const
{
    auto copy = DrawnEffect::mycopy();
    static_cast<plasmaEffect &>(*copy).setupPlazma();
    return copy;
}

void plasmaEffect::setupPlazma()
{
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            for (int c = 0; c < 3; ++c)
                pos[size_t(c * 4 + i + 2 * j)] = int(std::lround(float(unitRandom() * 512)));
    for (int i = 0; i < waveSize; ++i) {
        wave[size_t(i)] = int(std::sin(i * 6.28318531 / 720) * 100 + 100);
        wave2[size_t(i)] = int(std::sin(i * 6.28318531 / 360) * 64 + 64);
    }
    // A triangle wave of period 511, gentle up to 201 and steep from 202 to 255.
    for (int v = 0; v < lumaSize; ++v) {
        int t = v;
        while (t > 255)
            t = t - 511 < 0 ? 511 - t : t - 511;
        const int m = t < 202 ? t : 4 * t - 603;
        luma[size_t(v)] = (m * 255) / 417;
    }
}

void plasmaEffect::makeImageEffect()
{
    const QSize size = renderSize();
    setupPlazma();
    // The rendering is the square pattern itself, stretched over the image when composed.
    m_effectImage = drawPlazma(size.width(), size.height());
    m_effectImageSize = m_effectImage.isNull() ? QSizeF() : QSizeF(size);
}

void plasmaEffect::drawMyself(QPainter &painter, const QRectF &rect)
{
    const QImage square = drawPlazma(int(rect.width()), int(rect.height()));
    if (square.isNull())
        return;
    painter.save();
    painter.resetTransform();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(rect.x(), 0, rect.width(), rect.height()), square);
    painter.restore();
}

QImage plasmaEffect::drawPlazma(int w, int h)
{
    const int S = std::min({w, h, maxSide});
    if (S < 1)
        return {};
    QImage bitmap(S, S, QImage::Format_RGB32);
    if (bitmap.isNull())
        return {};

    // Move the phases one step: the inner pair forwards, the others backwards, wrapping at 720.
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) {
            for (int c = 0; c < 3; ++c) {
                const int k = int(std::lround(float(unitRandom() * 2)));
                int &p = pos[size_t(c * 4 + i + 2 * j)];
                if (i + j == 1) {
                    p += 2 + k;
                    if (p >= 720)
                        p -= 720;
                } else {
                    p -= 2 + k;
                    if (p < 0)
                        p += 720;
                }
            }
        }
    }

    // Column waves; phases below 720 plus columns below 600 keep the indices inside the tables.
    std::vector<std::array<int, 6>> cWaves(static_cast<size_t>(S));
    for (int col = 0; col < S; ++col)
        for (int k = 0; k < 3; ++k)
            for (int m = 0; m < 2; ++m)
                cWaves[size_t(col)][size_t(2 * k + m)] = wave[size_t(pos[size_t(k * 4 + 2 * m)] + col)]
                                                         + wave2[size_t(pos[size_t(k * 4 + 2 * m + 1)] + col)];

    // Rows use the same table as the columns (the bitmap is square).
    for (int y = 0; y < S; ++y) {
        auto *line = reinterpret_cast<QRgb *>(bitmap.scanLine(y));
        const auto &row = cWaves[size_t(y)];
        for (int x = 0; x < S; ++x) {
            const auto &col = cWaves[size_t(x)];
            line[x] = qRgb(luma[size_t(col[0] + row[1])], luma[size_t(col[2] + row[3])], luma[size_t(col[4] + row[5])]);
        }
    }
    return bitmap;
}
