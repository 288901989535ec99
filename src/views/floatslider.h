#pragma once

#include <QSlider>

// A horizontal slider over a range of real numbers. QSlider counts in integers, so the range is
// divided into a fixed number of steps; fine enough that a drag across a row moves by less than
// a readout digit on the usual ranges.
class FloatSlider : public QSlider
{
    Q_OBJECT
public:
    static constexpr int steps = 10000;

    explicit FloatSlider(QWidget *parent = nullptr);

    void setMaxValue(double max);
    void setMinValue(double min);
    double minValue() const { return m_min; }
    double maxValue() const { return m_max; }
    // The value of the knob's position; values outside the range are clamped to it.
    double doubleValue() const;
    // Moves the knob without emitting valueChanged: a value set by the program is not a user change.
    void setDoubleValue(double value);

private:
    int positionFor(double value) const;

    double m_min = 0;
    double m_max = 0;
    double m_value = 0;
};
