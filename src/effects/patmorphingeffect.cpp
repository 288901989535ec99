#include "effects/patmorphingeffect.h"

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
    setDefaults();
    setupPatMorphing();
}

std::vector<DrawnSetting> patMorphingEffect::settings() const
{
    using C = DrawnSetting::Control;
    auto list = commonSettings(QColor::fromRgbF(1, 1, 1, 0.5), 70, tr("Pattern opacity:"));
    list.insert(list.end(), {
        {.key = QStringLiteral("count"), .member = member(&patMorphingEffect::m_count), .defaultValue = 30,
         .control = C::Slider, .label = tr("Objects count:"), .y = 122, .min = 4, .max = 60, .continuous = true},
        {.key = QStringLiteral("patColor"), .member = member(&patMorphingEffect::m_patColor),
         .defaultValue = QColor::fromRgbF(0.2f, 1.0f, 0.2f, 1.0f), .control = C::ColorWell,
         .label = tr("Pattern Color:"), .y = 95},
        {.key = QStringLiteral("lineWidth"), .member = member(&patMorphingEffect::m_lineWidth), .defaultValue = 10.0,
         .control = C::FloatSlider, .label = tr("Line width:"), .y = 70, .min = 1, .max = 30, .continuous = true},
        {.key = QStringLiteral("proportion"), .member = member(&patMorphingEffect::m_proportion), .defaultValue = 0.5,
         .control = C::FloatSlider, .label = tr("Proportion:"), .y = 50, .min = 0.1, .max = 1.0, .continuous = true},
        {.key = QStringLiteral("startPT"), .member = member(&patMorphingEffect::m_startPT),
         .defaultValue = QPointF(unsetCoordinate, unsetCoordinate), .stored = false},
        generateButton(15),
    });
    return list;
}

std::unique_ptr<BaseEffect> patMorphingEffect::mycopy() const
{
    auto copy = DrawnEffect::mycopy();
    setupPatMorphing();
    return copy;
}

void patMorphingEffect::regenerate()
{
    updateValues();
    makeImageEffect();
    postUpdate();
}

void patMorphingEffect::drawMyself(QPainter &painter, const QRectF &rect)
{
    if (anchorIsUnset())
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
