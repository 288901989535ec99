#pragma once

#include "views/parameterrow.h"

class FloatSlider;

// A number input: caption, slider over the input's slider range and a readout in the input's unit
// (degrees for angles, hundredths for times).
class NumberRow : public ParameterRow
{
public:
    NumberRow(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
              CanvasController *master);

    void sliderChanged();
    void readoutTextFieldChanged();

    FloatSlider *slider() const { return m_slider; }
    QLineEdit *readout() const { return m_readout; }
    int dataType() const { return m_dataType; }
    float lastFloatValue() const { return m_lastFloatValue; }

private:
    FloatSlider *m_slider = nullptr;
    QLineEdit *m_readout = nullptr;
    int m_dataType = 0;
    float m_lastFloatValue = 0;
};
