#include "effects/lineseffect.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

void linesEffect::awakeFromNib()
{
    setName(tr("Lines Effect"));
    setTips(tr("Lines Effect Generator"));
    setDefaults();
}

std::vector<DrawnSetting> linesEffect::settings() const
{
    using C = DrawnSetting::Control;
    auto list = commonSettings(QColor::fromRgbF(1, 1, 1, 0.5), 50, tr("Objects opacity:"));
    list.insert(list.end(), {
        {.key = QStringLiteral("linesCount"), .member = member(&linesEffect::m_linesCount), .defaultValue = 500,
         .control = C::Slider, .label = tr("Lines count:"), .y = 122, .min = 20, .max = 2000},
        {.key = QStringLiteral("lineWidth"), .member = member(&linesEffect::m_lineWidth), .defaultValue = 1.0,
         .control = C::FloatSlider, .label = tr("Line width:"), .y = 102, .min = 0.5, .max = 50},
        {.key = QStringLiteral("imageZoom"), .member = member(&linesEffect::m_imageZoom), .defaultValue = 1.0f,
         .stored = false},
        {.key = QStringLiteral("startPT"), .member = member(&linesEffect::m_startPT),
         .defaultValue = QPointF(unsetCoordinate, unsetCoordinate), .stored = false},
        generateButton(55),
    });
    return list;
}

void linesEffect::makeImageEffect()
{
    const QSize size = renderSize();
    const float w = float(size.width()), h = float(size.height());
    const float m = std::min(w, h);
    if (m > 200)
        m_imageZoom = 200.0f / m;
    // Truncated toward zero: 544 x (200 / 544) in single precision is just below 200.
    // The product is taken in double precision, as the image size is a double.
    const QSize reduced(int(double(w) * m_imageZoom), int(double(h) * m_imageZoom));
    renderEffect(reduced, QSizeF(size));
}

void linesEffect::drawMyself(QPainter &painter, const QRectF &rect)
{
    drawOnPoolThread([&] { devideLines(painter, rect); });
}

int linesEffect::devideLines(QPainter &painter, const QRectF &rect)
{
    const double W = rect.width(), H = rect.height();
    if (anchorIsUnset())
        m_startPT = QPointF(W * 0.5 / m_imageZoom, H * 0.5 / m_imageZoom);
    if (m_linesCount <= 0)
        return 0;
    const QPointF from(m_startPT.x() * m_imageZoom, m_startPT.y() * m_imageZoom);
    QPen pen;
    pen.setWidthF(m_lineWidth);
    for (int i = 0; i < m_linesCount; ++i) {
        // Six draws per line, in this order: red, green, blue, alpha, x, y.
        const double r = unitRandom();
        const double g = unitRandom();
        const double b = unitRandom();
        const double a = unitRandom();
        const double ex = std::trunc(unitRandom() * W);
        const double ey = std::trunc(unitRandom() * H);
        pen.setColor(QColor::fromRgbF(float(r), float(g), float(b), float(a)));
        painter.setPen(pen);
        painter.drawLine(from, QPointF(ex, ey));
    }
    return m_linesCount;
}
