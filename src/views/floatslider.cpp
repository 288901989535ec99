#include "views/floatslider.h"

#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

FloatSlider::FloatSlider(QWidget *parent)
    : QSlider(Qt::Horizontal, parent)
{
    setRange(0, steps);
    // Keyboard and page steps of about 1% and 10% of the range.
    setSingleStep(steps / 100);
    setPageStep(steps / 10);
    connect(this, &QSlider::valueChanged, this, [this](int position) {
        m_value = m_min + (m_max - m_min) * position / double(steps);
    });
}

void FloatSlider::setMaxValue(double max)
{
    m_max = std::isfinite(max) ? max : 0;
    setDoubleValue(m_value);
}

void FloatSlider::setMinValue(double min)
{
    m_min = std::isfinite(min) ? min : 0;
    setDoubleValue(m_value);
}

int FloatSlider::positionFor(double value) const
{
    if (!(m_max > m_min) || !std::isfinite(value))
        return 0;
    const double t = std::clamp((value - m_min) / (m_max - m_min), 0.0, 1.0);
    return int(std::lround(t * steps));
}

double FloatSlider::doubleValue() const
{
    if (!(m_max > m_min))
        return m_min;
    return std::clamp(m_value, m_min, m_max);
}

void FloatSlider::setDoubleValue(double value)
{
    const QSignalBlocker blocker(this);
    // The exact value is kept (not the rounded knob position), so that reading the slider right
    // after setting it gives the value back.
    m_value = std::isfinite(value) ? std::clamp(value, std::min(m_min, m_max), std::max(m_min, m_max)) : m_min;
    setValue(positionFor(m_value));
}
