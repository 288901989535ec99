#include "effects/hilbertlineseffect.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

void hilbertLinesEffect::awakeFromNib()
{
    setName(tr("Hilbert Lines"));
    setTips(tr("Hilbert Lines Effect Generator"));
    setDefaults();
}

std::vector<DrawnSetting> hilbertLinesEffect::settings() const
{
    using C = DrawnSetting::Control;
    auto list = commonSettings(QColor::fromRgbF(1, 1, 1, 0.5), 70, tr("Objects opacity:"));
    list.insert(list.end(), {
        {.key = QStringLiteral("level"), .member = member(&hilbertLinesEffect::m_level), .defaultValue = 7,
         .control = C::Slider, .label = tr("Lines level:"), .y = 122, .min = 3, .max = 7},
        {.key = QStringLiteral("lineWidth"), .member = member(&hilbertLinesEffect::m_lineWidth), .defaultValue = 7.5,
         .control = C::FloatSlider, .label = tr("Line width:"), .y = 102, .min = 1, .max = 15},
        generateButton(55),
    });
    return list;
}

void hilbertLinesEffect::drawMyself(QPainter &painter, const QRectF &rect)
{
    drawOnPoolThread([&] { drawHilbertRect(painter, rect); });
}

int hilbertLinesEffect::drawHilbertRect(QPainter &painter, const QRectF &rect)
{
    const double W = rect.width(), H = rect.height();
    // The curve fills a square centred on the image that overshoots it by 500 pixels or more.
    const int S = int((std::isnan(W) ? H : std::max(W, H)) + 1000);
    int d = S;
    // Levels beyond 30 would shift past the width of the step; the step is 0 long before that.
    for (int i = 0; i < std::min(m_level, 30); ++i)
        d /= 2;
    dist = d;
    goToX(float((W - S) * 0.5 + d / 2), float((H - S) * 0.5 + d / 2));
    m_penStart = QPointF(x, y);
    m_segments = 0;
    // A curve of level n has 4^n - 1 segments: beyond level 12 (16 million) the drawing would not
    // finish in reasonable time, and the step is below a pixel for any image anyway.
    if (m_level > 12) {
        qWarning("hilbertLinesEffect: level %d is too deep to draw", m_level);
        return 0;
    }
    painter.save();
    m_painter = &painter;
    hilbertU(m_level);
    m_painter = nullptr;
    painter.restore();
    return m_segments;
}

void hilbertLinesEffect::newColor()
{
    const double r = unitRandom();
    const double g = unitRandom();
    const double b = unitRandom();
    const double a = unitRandom();
    QPen pen(QColor::fromRgbF(float(r), float(g), float(b), float(a)), m_lineWidth, Qt::SolidLine, Qt::FlatCap,
             Qt::MiterJoin);
    m_painter->setPen(pen);
}

void hilbertLinesEffect::lineRel(float dx, float dy)
{
    const QPointF from(x, y);
    x += dx;
    y += dy;
    m_painter->drawLine(from, QPointF(x, y));
    ++m_segments;
}

void hilbertLinesEffect::hilbertU(int n)
{
    if (n < 1)
        return;
    newColor();
    const float d = float(dist);
    hilbertD(n - 1); lineRel(0, d);
    hilbertU(n - 1); lineRel(d, 0);
    hilbertU(n - 1); lineRel(0, -d);
    hilbertC(n - 1);
}

void hilbertLinesEffect::hilbertD(int n)
{
    if (n < 1)
        return;
    newColor();
    const float d = float(dist);
    hilbertU(n - 1); lineRel(d, 0);
    hilbertD(n - 1); lineRel(0, d);
    hilbertD(n - 1); lineRel(-d, 0);
    hilbertA(n - 1);
}

void hilbertLinesEffect::hilbertC(int n)
{
    if (n < 1)
        return;
    newColor();
    const float d = float(dist);
    hilbertA(n - 1); lineRel(-d, 0);
    hilbertC(n - 1); lineRel(0, -d);
    hilbertC(n - 1); lineRel(d, 0);
    hilbertU(n - 1);
}

void hilbertLinesEffect::hilbertA(int n)
{
    if (n < 1)
        return;
    newColor();
    const float d = float(dist);
    hilbertC(n - 1); lineRel(0, -d);
    hilbertA(n - 1); lineRel(-d, 0);
    hilbertA(n - 1); lineRel(0, d);
    hilbertD(n - 1);
}
