#include "effects/patmorphingeffect.h"

#include "imaging/values.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <cmath>

patMorphingEffect::MorphValue patMorphingEffect::s_height;
patMorphingEffect::MorphValue patMorphingEffect::s_offsetX;
patMorphingEffect::MorphValue patMorphingEffect::s_offsetY;

void patMorphingEffect::MorphValue::reset(float start)
{
    value = start;
    velocity = acceleration = force = 0;
    mass = 1.0f;
    damping = 0.75f;
    attraction = 0.5f;
    targeting = 0;
    target = 0;
}

void patMorphingEffect::MorphValue::step()
{
    if (targeting)
        force = (target - value) * attraction + force;
    acceleration = force;
    velocity = (acceleration + velocity) * damping;
    value = value + velocity;
    force = 0;
}

void patMorphingEffect::setupPatMorphing()
{
    const float h = float(unitRandom() * 195 + 25);
    const float x = float(unitRandom() * 20);
    const float y = float(unitRandom() * 20);
    s_height.reset(h);
    s_offsetX.reset(x);
    s_offsetY.reset(y);
}

void patMorphingEffect::updateValues()
{
    s_height.target = float(unitRandom() * 495 + 25);
    s_offsetX.target = float(unitRandom() * 20);
    s_offsetY.target = float(unitRandom() * 20);
    s_height.targeting = s_offsetX.targeting = s_offsetY.targeting = 1;
    s_height.step();
    s_offsetX.step();
    s_offsetY.step();
}

void patMorphingEffect::awakeFromNib()
{
    setName(tr("Pattern Morphing"));
    setTips(tr("Pattern Morphing Effect Generator"));
    m_useBackImage = true;
    m_bgColor = QColor::fromRgbF(1, 1, 1, 0.5);
    m_patColor = QColor::fromRgbF(0.2f, 1.0f, 0.2f, 1.0f);
    m_opacity = 70;
    m_count = 30;
    m_lineWidth = 10.0;
    m_proportion = 0.5;
    m_startPT = QPointF(unsetCoordinate, unsetCoordinate);
    setupPatMorphing();
}

std::unique_ptr<BaseEffect> patMorphingEffect::mycopy() const
{
    auto copy = copyWithZone();
    auto *c = static_cast<patMorphingEffect *>(copy.get());
    copyCommonInto(*c);
    c->setPatColor(m_patColor);
    c->setPatCount(m_count);
    c->setStartPoint(m_startPT);
    c->setLineWidth(m_lineWidth);
    c->setProportin(m_proportion);
    setupPatMorphing();
    return copy;
}

void patMorphingEffect::setUpControlsView()
{
    if (!beginControls())
        return;
    addCommonRows(196, 167, 142, tr("Pattern opacity:"));
    addSlider(tr("Objects count:"), 122, 4, 60, m_count, true, [this](QWidget *s) { changePatCount(s); });
    addColorWell(tr("Pattern Color:"), 95, m_patColor, [this](QWidget *s) { changePatColor(s); });
    addFloatSlider(tr("Line width:"), 70, 1, 30, m_lineWidth, true, [this](QWidget *s) { changeLineWidth(s); });
    addFloatSlider(tr("Proportion:"), 50, 0.1, 1.0, m_proportion, true, [this](QWidget *s) { changeProportion(s); });
    addGenerateButton(15);
}

void patMorphingEffect::regenerate()
{
    updateValues();
    makeImageEffect();
    postUpdate();
}

void patMorphingEffect::read(const QVariantMap &settings)
{
    DrawnEffect::read(settings);
    const QVariant c = settings.value(QStringLiteral("patColor"));
    if (c.userType() == qMetaTypeId<imaging::Color>()) {
        const auto ic = c.value<imaging::Color>();
        setPatColor(QColor::fromRgbF(float(ic.red), float(ic.green), float(ic.blue), float(ic.alpha)));
    } else if (c.userType() == QMetaType::QColor) {
        setPatColor(c.value<QColor>());
    }
    bool ok = false;
    const int count = settings.value(QStringLiteral("count")).toInt(&ok);
    if (ok)
        m_count = count;
    const float width = settings.value(QStringLiteral("lineWidth")).toFloat(&ok);
    if (ok)
        m_lineWidth = width;
    const float proportion = settings.value(QStringLiteral("proportion")).toFloat(&ok);
    if (ok)
        m_proportion = proportion;
}

QVariantMap patMorphingEffect::save() const
{
    QVariantMap settings = DrawnEffect::save();
    const QColor &p = m_patColor;
    settings.insert(QStringLiteral("patColor"), QVariant::fromValue(imaging::Color(p.redF(), p.greenF(), p.blueF(), p.alphaF())));
    settings.insert(QStringLiteral("count"), m_count);
    settings.insert(QStringLiteral("lineWidth"), float(m_lineWidth));
    settings.insert(QStringLiteral("proportion"), float(m_proportion));
    return settings;
}

void patMorphingEffect::changePatCount(QWidget *sender)
{
    controlAction(this, m_count, intValue(sender), &patMorphingEffect::setchangePatCount, sender, true);
}

void patMorphingEffect::setchangePatCount(int count, QWidget *sender)
{
    setAction(this, m_count, count, &patMorphingEffect::setchangePatCount, sender, true);
}

void patMorphingEffect::changePatColor(QWidget *sender)
{
    controlAction(this, m_patColor, color(sender), &patMorphingEffect::setchangePatColor, sender, true);
}

void patMorphingEffect::setchangePatColor(QColor value, QWidget *sender)
{
    setAction(this, m_patColor, value, &patMorphingEffect::setchangePatColor, sender, true);
}

void patMorphingEffect::changeLineWidth(QWidget *sender)
{
    controlAction(this, m_lineWidth, floatValue(sender), &patMorphingEffect::setchangeLineWidth, sender, true);
}

void patMorphingEffect::setchangeLineWidth(double width, QWidget *sender)
{
    setAction(this, m_lineWidth, width, &patMorphingEffect::setchangeLineWidth, sender, true);
}

void patMorphingEffect::changeProportion(QWidget *sender)
{
    controlAction(this, m_proportion, floatValue(sender), &patMorphingEffect::setchangeProportion, sender, true);
}

void patMorphingEffect::setchangeProportion(double proportion, QWidget *sender)
{
    setAction(this, m_proportion, proportion, &patMorphingEffect::setchangeProportion, sender, true);
}

void patMorphingEffect::drawMyself(QPainter &painter, const QRectF &rect)
{
    if (m_startPT.x() < -10000 || m_startPT.y() < -10000)
        m_startPT = QPointF(rect.width() / 2, rect.height() / 2);
    drawPatterns(painter);
}

int patMorphingEffect::drawPatterns(QPainter &painter)
{
    const int n = m_count;
    if (n <= 0)
        return 0;
    painter.save();
    painter.translate(m_startPT);
    const double step = 2 * M_PI / n;
    const QRectF ellipse(s_offsetX.value, s_offsetY.value, m_proportion * s_height.value, s_height.value);
    painter.setPen(QPen(m_patColor, m_lineWidth));
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < n; ++i) {
        QPainterPath path;
        path.addEllipse(ellipse);
        const QTransform rotation = QTransform().rotateRadians(i * step);
        painter.drawPath(rotation.map(path));
    }
    painter.restore();
    return n;
}
