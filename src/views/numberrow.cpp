#include "views/numberrow.h"

#include "platform/geometry.h"
#include "views/floatslider.h"
#include "views/parameterview.h"

#include <QLineEdit>

#include <cmath>

namespace {
int unitOf(const QString &type)
{
    if (type == imaging::kCIAttributeTypeAngle) return ParameterView::Angle;
    if (type == imaging::kCIAttributeTypeTime) return ParameterView::Time;
    if (type == imaging::kCIAttributeTypeDistance) return ParameterView::Distance;
    return ParameterView::Scalar;
}
} // namespace

NumberRow::NumberRow(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                     CanvasController *master)
    : ParameterRow(view, filter, key, master)
{
    const imaging::InputDescription *in = input();
    const double W = rowWidth();

    m_slider = new FloatSlider(view);
    // The slider range where the input has one, else its hard range.
    double maxV = 0, minV = 0;
    if (in) {
        maxV = in->sliderMax ? *in->sliderMax : in->max.value_or(0.0);
        minV = in->sliderMin ? *in->sliderMin : in->min.value_or(0.0);
    }
    m_slider->setMaxValue(float(maxV));
    m_slider->setMinValue(float(minV));
    const float value = inputValue().toFloat();
    m_slider->setDoubleValue(value);
    m_lastFloatValue = value;
    place(m_slider, QRectF(94, 0, W - 145, 16), NSViewWidthSizable | NSViewMinYMargin);
    connect(m_slider, &QSlider::valueChanged, this, &NumberRow::sliderChanged);

    m_dataType = unitOf(in ? in->attributeType : QString());
    m_caption = makeCaption(QRectF(0, 0, 90, 16), captionText(true), true);
    m_readout = makeReadout(QRectF(W - 47, 0, 43, 16), NSViewMinXMargin | NSViewMinYMargin);
    showReadout(m_readout, ParameterView::readoutText(m_dataType, value));
    connect(m_readout, &QLineEdit::editingFinished, this, &NumberRow::readoutTextFieldChanged);
}

void NumberRow::sliderChanged()
{
    const float v = float(m_slider->doubleValue());
    if (v == m_lastFloatValue)
        return;
    m_lastFloatValue = v;
    showReadout(m_readout, ParameterView::readoutText(m_dataType, v));
    commit(m_slider->doubleValue());
    redraw();
}

void NumberRow::readoutTextFieldChanged()
{
    double typed = 0;
    parseTyped(m_readout->text(), typed);
    const float v = ParameterView::valueFromReadout(m_dataType, typed);
    if (v == m_lastFloatValue || !std::isfinite(v))
        return;
    m_lastFloatValue = v;
    m_slider->setDoubleValue(v);
    commit(double(v));
    redraw();
}
