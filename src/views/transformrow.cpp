#include "views/transformrow.h"

#include "platform/geometry.h"
#include "views/floatslider.h"
#include "views/parameterview.h"

#include <QLineEdit>

#include <cmath>
#include <numbers>

namespace {
// The unit each part's readout shows.
constexpr int unitOfPart[4] = {ParameterView::Scalar, ParameterView::Angle, ParameterView::Scalar, ParameterView::Scalar};

bool isLogarithmic(int part)
{
    return part == TransformRow::Scale || part == TransformRow::Stretch;
}
} // namespace

TransformRow::TransformRow(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                           CanvasController *master)
    : ParameterRow(view, filter, key, master)
{
    const double W = rowWidth();
    const QVariant value = inputValue();
    m_usesAffineTransform = value.metaType() == QMetaType::fromType<imaging::AffineTransform>();
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1;
    if (m_usesAffineTransform) {
        const imaging::AffineTransform t = value.value<imaging::AffineTransform>();
        m11 = t.m11; m12 = t.m12; m21 = t.m21; m22 = t.m22;
    } else {
        const imaging::Vector v = value.value<imaging::Vector>();
        m11 = v.value(0); m12 = v.value(1); m21 = v.value(2); m22 = v.value(3);
    }
    m_fields = decomposeTransform(m11, m12, m21, m22);

    static const char *const captions[4] = {"Scale", "Angle", "Stretch", "Skew"};
    const double ys[4] = {51, 34, 17, 0};
    const double ranges[4][2] = {{-2, 2}, {0, 2 * std::numbers::pi}, {-2, 2}, {-10, 10}};
    for (int part = 0; part < 4; ++part) {
        const float shown = field(part);
        m_labels[part] = makeCaption(QRectF(0, ys[part], 75, 16), QString::fromLatin1(captions[part]), true);
        auto *slider = new FloatSlider(view);
        slider->setMaxValue(ranges[part][1]);
        slider->setMinValue(ranges[part][0]);
        slider->setDoubleValue(isLogarithmic(part) ? std::log10(std::abs(double(shown))) : double(shown));
        place(slider, QRectF(80, ys[part], W - 133, 16), NSViewWidthSizable | NSViewMinYMargin);
        m_sliders[part] = slider;
        QLineEdit *readout = makeReadout(QRectF(W - 48, ys[part], 43, 16), NSViewMinXMargin | NSViewMinYMargin);
        showReadout(readout, ParameterView::readoutText(unitOfPart[part], shown));
        m_readouts[part] = readout;
    }
    for (int part = 0; part < 4; ++part)
        connect(m_sliders[part], &QSlider::valueChanged, this, [this, part] { sliderChanged(part); });
    for (int part = 0; part < 4; ++part)
        connect(m_readouts[part], &QLineEdit::editingFinished, this, [this, part] { readoutChanged(part); });
}

float &TransformRow::field(int part)
{
    float *fields[4] = {&m_fields.scale, &m_fields.angle, &m_fields.stretch, &m_fields.skew};
    return *fields[part];
}

void TransformRow::sliderChanged(int part)
{
    if (part < 0 || part > 3)
        return;
    const double position = m_sliders[part]->doubleValue();
    partChanged(part, float(isLogarithmic(part) ? std::pow(10.0, position) : position), true);
}

void TransformRow::readoutChanged(int part)
{
    if (part < 0 || part > 3)
        return;
    double typed = 0;
    parseTyped(m_readouts[part]->text(), typed);
    partChanged(part, ParameterView::valueFromReadout(unitOfPart[part], typed), false);
}

void TransformRow::partChanged(int part, float v, bool fromSlider)
{
    // A value that is not a number (a log of a typed negative, an overflow) is never composed.
    if (!std::isfinite(v) || v == field(part))
        return;
    field(part) = v;
    if (fromSlider)
        showReadout(m_readouts[part], ParameterView::readoutText(unitOfPart[part], v));
    else
        m_sliders[part]->setDoubleValue(isLogarithmic(part) ? std::log10(double(v)) : double(v));
    commitTransform();
}

void TransformRow::commitTransform()
{
    float tX = 0, tY = 0;
    const QVariant value = inputValue();
    if (value.metaType() == QMetaType::fromType<imaging::AffineTransform>()) {
        const imaging::AffineTransform t = value.value<imaging::AffineTransform>();
        tX = float(t.tX);
        tY = float(t.tY);
    } else {
        const imaging::Vector v = value.value<imaging::Vector>();
        tX = float(v.value(4));
        tY = float(v.value(5));
    }
    const TransformFields &f = m_fields;
    if (m_usesAffineTransform)
        commit(QVariant::fromValue(standard_fields_to_transform(f.scale, f.angle, f.stretch, f.skew, tX, tY)));
    else
        commit(QVariant::fromValue(standard_fields_to_transform_vector(f.scale, f.angle, f.stretch, f.skew, tX, tY)));
    redraw();
}
