#pragma once

#include "views/parameterrow.h"
#include "views/transformfields.h"

class FloatSlider;

// A transform input: four lines (scale, angle, stretch, skew), each a caption, a slider and a
// readout. Scale and stretch sliders are logarithmic (log10 of the value). A change of any part
// composes a new transform that keeps the input's translation and its form (a transform, or the
// six-value vector).
class TransformRow : public ParameterRow
{
public:
    enum Part { Scale = 0, Angle = 1, Stretch = 2, Skew = 3 };

    TransformRow(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                 CanvasController *master);

    void sliderChanged(int part);
    void readoutChanged(int part);

    FloatSlider *slider(int part) const { return part >= 0 && part < 4 ? m_sliders[part] : nullptr; }
    QLineEdit *readout(int part) const { return part >= 0 && part < 4 ? m_readouts[part] : nullptr; }
    TransformFields fields() const { return m_fields; }

private:
    void partChanged(int part, float value, bool fromSlider);
    void commitTransform();
    float &field(int part);

    FloatSlider *m_sliders[4] = {};
    QLabel *m_labels[4] = {};
    QLineEdit *m_readouts[4] = {};
    TransformFields m_fields;
    bool m_usesAffineTransform = false;
};
