#include "effects/lineseffect.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

void linesEffect::awakeFromNib()
{
    setName(tr("Lines Effect"));
    setTips(tr("Lines Effect Generator"));
    m_useBackImage = true;
    m_bgColor = QColor::fromRgbF(1, 1, 1, 0.5);
    m_opacity = 50;
    m_linesCount = 500;
    m_lineWidth = 1.0;
    m_imageZoom = 1.0f;
    m_startPT = QPointF(unsetCoordinate, unsetCoordinate);
}

std::unique_ptr<BaseEffect> linesEffect::mycopy() const
{
    auto copy = copyWithZone();
    auto *c = static_cast<linesEffect *>(copy.get());
    copyCommonInto(*c);
    c->setLinesCount(m_linesCount);
    c->setStartPoint(m_startPT);
    c->setLineWidth(m_lineWidth);
    c->setMZoom(m_imageZoom);
    return copy;
}

void linesEffect::setUpControlsView()
{
    if (!beginControls())
        return;
    addCommonRows(196, 167, 142, tr("Objects opacity:"));
    addSlider(tr("Lines count:"), 122, 20, 2000, m_linesCount, false, [this](QWidget *s) { changeLinesCount(s); });
    addFloatSlider(tr("Line width:"), 102, 0.5, 50, m_lineWidth, false, [this](QWidget *s) { changeLineWidth(s); });
    addGenerateButton(55);
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

int linesEffect::devideLines(QPainter &painter, const QRectF &rect)
{
    const double W = rect.width(), H = rect.height();
    if (m_startPT.x() < -10000 || m_startPT.y() < -10000)
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

void linesEffect::read(const QVariantMap &settings)
{
    DrawnEffect::read(settings);
    bool ok = false;
    const int count = settings.value(QStringLiteral("linesCount")).toInt(&ok);
    if (ok)
        m_linesCount = count;
    const float width = settings.value(QStringLiteral("lineWidth")).toFloat(&ok);
    if (ok)
        m_lineWidth = width;
}

QVariantMap linesEffect::save() const
{
    QVariantMap settings = DrawnEffect::save();
    settings.insert(QStringLiteral("linesCount"), m_linesCount);
    settings.insert(QStringLiteral("lineWidth"), float(m_lineWidth));
    return settings;
}

void linesEffect::changeLinesCount(QWidget *sender)
{
    controlAction(this, m_linesCount, intValue(sender), &linesEffect::setchangeLinesCount, sender, true);
}

void linesEffect::setchangeLinesCount(int count, QWidget *sender)
{
    setAction(this, m_linesCount, count, &linesEffect::setchangeLinesCount, sender, true);
}

void linesEffect::changeLineWidth(QWidget *sender)
{
    controlAction(this, m_lineWidth, floatValue(sender), &linesEffect::setchangeLineWidth, sender, true);
}

void linesEffect::setchangeLineWidth(double width, QWidget *sender)
{
    setAction(this, m_lineWidth, width, &linesEffect::setchangeLineWidth, sender, true);
}
