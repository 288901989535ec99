#include "views/parameterview.h"

#include "imaging/filterdescription.h"
#include "imaging/qimageadapter.h"
#include "platform/autoresizing.h"
#include "platform/geometry.h"
#include "platform/imagefiles.h"
#include "views/canvascontroller.h"
#include "views/colorwell.h"
#include "views/floatslider.h"
#include "views/vurevoduimageview.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

namespace {

constexpr double pi = std::numbers::pi;

// Field width and precision of the readout of each unit (scalar, angle, time, distance).
constexpr int beforeDecimals[4] = {4, 3, 1, 4};
constexpr int afterDecimals[4] = {2, 1, 3, 1};

int unitOf(const QString &type)
{
    if (type == imaging::kCIAttributeTypeAngle) return ParameterView::Angle;
    if (type == imaging::kCIAttributeTypeTime) return ParameterView::Time;
    if (type == imaging::kCIAttributeTypeDistance) return ParameterView::Distance;
    return ParameterView::Scalar;
}

QFont smallFont(const QFont &base, double points)
{
    QFont f = base;
    f.setPointSizeF(points);
    return f;
}

// A typed number as the platform's text fields read it: leading number, anything unreadable is 0.
bool parseTyped(const QString &text, double &value)
{
    bool ok = false;
    value = text.trimmed().toDouble(&ok);
    if (!ok)
        value = 0;
    return ok;
}

} // namespace

void format_floating_point_number(int before, int after, char *buffer, float value)
{
    char format[16];
    std::snprintf(format, sizeof format, "%%%d.%df", before, after);
    char text[32];
    std::snprintf(text, sizeof text, format, double(value));
    std::memcpy(buffer, text, sizeof text);
}

QString unInterCap(const QString &text)
{
    QString m = text;
    QString lower = m.toLower();
    bool inserted = false;
    for (qsizetype i = 0; i < m.size(); ++i) {
        const QChar c = m.at(i);
        const bool capital = c != lower.at(i);
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if ((capital || digit) && i > 0) {
            m.insert(i, QLatin1Char(' '));
            lower = m.toLower();
            ++i; // past the inserted space
            inserted = true;
        }
    }
    return inserted ? m : text;
}

imaging::AffineTransform standard_fields_to_transform(float scale, float angle, float stretch, float skew,
                                                       float tX, float tY)
{
    // s * [[t, t k], [0, 1]] * [[c, n], [-n, c]]: stretch and skew along x, then the rotation, all
    // scaled by s (matrices acting on row vectors).
    const double s = scale, t = stretch, k = skew;
    const double c = std::cos(double(angle)), n = std::sin(double(angle));
    return {s * t * (c - k * n), s * t * (n + k * c), -s * n, s * c, double(tX), double(tY)};
}

imaging::Vector standard_fields_to_transform_vector(float scale, float angle, float stretch, float skew,
                                                     float tX, float tY)
{
    const imaging::AffineTransform m = standard_fields_to_transform(scale, angle, stretch, skew, tX, tY);
    return imaging::Vector{m.m11, m.m12, m.m21, m.m22, m.tX, m.tY};
}

TransformFields ParameterView::decomposeTransform(double m11, double m12, double m21, double m22)
{
    TransformFields f;
    // The second row of s [[t, tk], [0, 1]] R is s (-n, c): it gives the scale and the angle.
    const double s = std::sqrt(m21 * m21 + m22 * m22);
    double a = 0;
    if (!(m21 == 0 && m22 == 1)) {
        a = std::atan2(-m21, m22);
        if (a < 0)
            a += 2 * pi;
    }
    const double c = std::cos(a), n = std::sin(a);
    // The first row is s t (c - k n, n + k c). Projected on (c, n) it gives s t, on (n, -c) it
    // gives -s t k. Dividing by s t read this way (rather than by (c - n k) s) stays exact where
    // the rotation is a quarter turn and c vanishes.
    const double st = m11 * c + m12 * n;
    const double d = m11 * n - m12 * c;
    const double k = d == 0 ? 0.0 : -d / st;
    const double t = st / s;
    if (!std::isfinite(s) || s == 0 || !std::isfinite(t) || t == 0 || !std::isfinite(k))
        return {1, float(std::isfinite(a) ? a : 0), 1, 0};
    f.scale = float(s);
    f.angle = float(a);
    f.stretch = float(t);
    f.skew = float(k);
    return f;
}

QString ParameterView::readoutText(int dataType, float value)
{
    double shown = value;
    if (dataType == Angle)
        shown = value * 180.0 / pi;
    else if (dataType == Time)
        shown = value * 100.0;
    const int unit = dataType >= 0 && dataType < 4 ? dataType : 0;
    char buffer[32];
    format_floating_point_number(beforeDecimals[unit], afterDecimals[unit], buffer, float(shown));
    return QString::fromLatin1(buffer);
}

float ParameterView::valueFromReadout(int dataType, double typed)
{
    if (dataType == Angle)
        return float(typed * pi / 180.0);
    if (dataType == Time)
        return float(typed * 0.01);
    return float(typed);
}

QString ParameterView::ellipsizeField(float width, const QFont &font, const QString &text)
{
    const int limit = int(width - 5);
    QString s = text;
    s.replace(QStringLiteral("Replacement Color"), QStringLiteral("Replace With"));
    const QFontMetricsF metrics(font);
    bool first = true;
    while (int(metrics.horizontalAdvance(s)) > limit) {
        if (s.isEmpty() || s == QLatin1String("..."))
            break; // nothing left to shorten
        if (first) {
            s.chop(1);
            first = false;
        } else {
            s.chop(std::min<qsizetype>(4, s.size()));
        }
        s += QStringLiteral("...");
    }
    return s;
}

imaging::Image ParameterView::CIImageWithNSImage(const QImage &image)
{
    if (image.isNull())
        return imaging::Image();
    return imaging::imageFromQImage(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

QImage ParameterView::CIImageToNSImage(const imaging::Image &image, const QRectF &rect)
{
    if (image.isNull() || rect.width() < 1 || rect.height() < 1)
        return QImage();
    return imaging::renderToQImage(image, imaging::Rect(0, 0, rect.width(), rect.height()));
}

ParameterView::ParameterView(QWidget *parent)
    : QWidget(parent)
{
}

QLineEdit *ParameterView::readoutField(int index) const
{
    return index >= 0 && index < 4 ? readoutFields[index] : nullptr;
}

FloatSlider *ParameterView::transformSlider(int part) const
{
    return part >= 0 && part < 4 ? transformSliders[part] : nullptr;
}

QLineEdit *ParameterView::transformReadout(int part) const
{
    return part >= 0 && part < 4 ? transformReadouts[part] : nullptr;
}

void ParameterView::store(const std::shared_ptr<imaging::Filter> &filter, const QString &key, CanvasController *master)
{
    m_filter = filter;
    m_key = key;
    m_master = master;
}

QVariantMap ParameterView::inputAttributes() const
{
    return m_filter ? m_filter->attributes().value(m_key).toMap() : QVariantMap();
}

QString ParameterView::captionText(bool checkPrefix) const
{
    if (checkPrefix && !m_key.startsWith(QLatin1String("input")))
        std::fputs("input key does not begin with input\n", stdout);
    const QString display = inputAttributes().value(imaging::kCIAttributeDisplayName).toString();
    return display.isEmpty() ? unInterCap(m_key.mid(5)) : display;
}

void ParameterView::place(QWidget *child, const QRectF &frame, unsigned mask)
{
    // Frames are designed for the row's size at build time; the mask keeps them in place when the
    // box (and with it the row) is resized.
    Autoresizing::attach(child, frame, mask, QSizeF(width(), height()));
    child->show();
}

QLabel *ParameterView::makeCaption(const QRectF &frame, const QString &text, bool shorten)
{
    auto *label = new QLabel(this);
    label->setFont(smallFont(label->font(), 9));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setForegroundRole(QPalette::WindowText);
    // The text cell draws 2 points in from each side of the field.
    label->setText(shorten ? ellipsizeField(float(frame.width() - 4), label->font(), text) : text);
    if (label->text() != text)
        label->setToolTip(text);
    place(label, frame, NSViewMaxXMargin | NSViewMinYMargin);
    return label;
}

QLineEdit *ParameterView::makeReadout(const QRectF &frame, unsigned mask)
{
    auto *field = new QLineEdit(this);
    field->setFont(smallFont(field->font(), 9));
    field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    field->setTextMargins(0, 0, 0, 0);
    field->setContentsMargins(0, 0, 0, 0);
    field->setStyleSheet(QStringLiteral("QLineEdit { padding: 0px 1px; }"));
    place(field, frame, mask);
    return field;
}

void ParameterView::commit(const QVariant &value)
{
    if (!m_master)
        return;
    m_master->setFilter(m_filter, value, m_key);
    m_master->setActionNameForFilter(m_filter, m_key);
}

// ---- number row ----

void ParameterView::addSliderForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                                       CanvasController *master)
{
    store(filter, key, master);
    const QVariantMap a = inputAttributes();
    const double W = width();

    m_slider = new FloatSlider(this);
    const QVariant maxV = a.contains(imaging::kCIAttributeSliderMax) ? a.value(imaging::kCIAttributeSliderMax)
                                                                     : a.value(imaging::kCIAttributeMax);
    const QVariant minV = a.contains(imaging::kCIAttributeSliderMin) ? a.value(imaging::kCIAttributeSliderMin)
                                                                     : a.value(imaging::kCIAttributeMin);
    m_slider->setMaxValue(float(maxV.toDouble()));
    m_slider->setMinValue(float(minV.toDouble()));
    const float value = m_filter ? m_filter->value(key).toFloat() : 0.0f;
    m_slider->setDoubleValue(value);
    m_lastFloatValue = value;
    place(m_slider, QRectF(94, 0, W - 145, 16), NSViewWidthSizable | NSViewMinYMargin);
    connect(m_slider, &QSlider::valueChanged, this, &ParameterView::sliderChanged);

    m_dataType = unitOf(a.value(imaging::kCIAttributeType).toString());
    beforeDecimal = beforeDecimals[m_dataType];
    afterDecimal = afterDecimals[m_dataType];

    labelTextFieldPtr = makeCaption(QRectF(0, 0, 90, 16), captionText(true), true);
    readoutTextFieldPtr = makeReadout(QRectF(W - 47, 0, 43, 16), NSViewMinXMargin | NSViewMinYMargin);
    readoutTextFieldPtr->setText(readoutText(m_dataType, value));
    connect(readoutTextFieldPtr, &QLineEdit::editingFinished, this, &ParameterView::readoutTextFieldChanged);
}

void ParameterView::sliderChanged()
{
    if (!labelTextFieldPtr)
        return;
    if (!readoutTextFieldPtr || !m_slider) {
        if (m_master) m_master->updateView();
        return;
    }
    const float v = float(m_slider->doubleValue());
    if (v == m_lastFloatValue)
        return;
    m_lastFloatValue = v;
    readoutTextFieldPtr->setText(readoutText(m_dataType, v));
    commit(m_slider->doubleValue());
    if (m_master) m_master->updateView();
}

void ParameterView::readoutTextFieldChanged()
{
    if (!labelTextFieldPtr)
        return;
    if (!readoutTextFieldPtr || !m_slider) {
        if (m_master) m_master->updateView();
        return;
    }
    double typed = 0;
    parseTyped(readoutTextFieldPtr->text(), typed);
    const float v = valueFromReadout(m_dataType, typed);
    if (v == m_lastFloatValue || !std::isfinite(v))
        return;
    m_lastFloatValue = v;
    m_slider->setDoubleValue(v);
    commit(double(v));
    if (m_master) m_master->updateView();
}

// ---- flag row ----

void ParameterView::addCheckBoxForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                                         CanvasController *master)
{
    store(filter, key, master);
    checkBoxPtr = new QCheckBox(captionText(true), this);
    checkBoxPtr->setFont(smallFont(checkBoxPtr->font(), 9));
    checkBoxPtr->setChecked(m_filter && m_filter->value(key).toBool());
    place(checkBoxPtr, QRectF(76, 0, 155, 16), NSViewMaxXMargin | NSViewMinYMargin);
    connect(checkBoxPtr, &QCheckBox::toggled, this, &ParameterView::checkBoxChanged);
}

void ParameterView::checkBoxChanged()
{
    if (checkBoxPtr)
        commit(checkBoxPtr->checkState() == Qt::Checked);
    if (m_master) m_master->updateView();
}

// ---- colour row ----

void ParameterView::addColorWellForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                                          CanvasController *master)
{
    store(filter, key, master);
    const double W = width();
    labelTextFieldPtr = makeCaption(QRectF(0, 0, W - 43, 16), captionText(true), true);
    colorWellPtr = new ColorWell(this);
    const imaging::Color c = m_filter ? m_filter->value(key).value<imaging::Color>() : imaging::Color();
    colorWellPtr->setColor(QColor::fromRgbF(float(c.red), float(c.green), float(c.blue), float(c.alpha)));
    place(colorWellPtr, QRectF(W - 38, 0, 38, 24), NSViewMinXMargin | NSViewWidthSizable | NSViewMinYMargin);
    connect(colorWellPtr, &ColorWell::colorChanged, this, &ParameterView::colorWellChanged);
    // Colours tried in the open dialog show on the canvas at once; only the chosen one is recorded.
    connect(colorWellPtr, &ColorWell::colorPreviewed, this, [this](const QColor &color) {
        if (!m_filter || !m_master)
            return;
        if (!m_valueBeforePreview.isValid())
            m_valueBeforePreview = m_filter->value(m_key);
        float r, g, b, a;
        color.getRgbF(&r, &g, &b, &a);
        m_filter->setValue(QVariant::fromValue(imaging::Color(r, g, b, a)), m_key);
        m_master->updateView();
    });
    // The value from before the first preview, exactly (a colour's round trip through the well
    // would not give back the same numbers), so that undo after OK restores it.
    connect(colorWellPtr, &ColorWell::previewEnded, this, [this] {
        if (m_filter && m_valueBeforePreview.isValid())
            m_filter->setValue(m_valueBeforePreview, m_key);
        m_valueBeforePreview = QVariant();
        if (m_master)
            m_master->updateView();
    });
}

void ParameterView::colorWellChanged()
{
    if (!labelTextFieldPtr)
        return;
    if (colorWellPtr) {
        float r, g, b, a;
        colorWellPtr->color().getRgbF(&r, &g, &b, &a);
        commit(QVariant::fromValue(imaging::Color(r, g, b, a)));
    }
    if (m_master) m_master->updateView();
}

// ---- vector and offset rows ----

void ParameterView::addVectorForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                                       CanvasController *master)
{
    buildVectorRow(filter, key, master, 4);
}

void ParameterView::addOffsetForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                                       CanvasController *master)
{
    buildVectorRow(filter, key, master, 2);
}

void ParameterView::buildVectorRow(const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                                   CanvasController *master, int fields)
{
    store(filter, key, master);
    beforeDecimal = 1;
    afterDecimal = 3;
    const double W = width();
    labelTextFieldPtr = makeCaption(QRectF(0, 0, 75, 16), captionText(false), true);
    const imaging::Vector v = m_filter ? m_filter->value(key).value<imaging::Vector>() : imaging::Vector();
    const float q = float(std::trunc(W - 5) - 95) / 4;
    for (int i = 0; i < fields; ++i) {
        QLineEdit *field = makeReadout(QRectF(std::floor(80 + i * (q + 5)), 0, std::floor(q), 16),
                                       NSViewWidthSizable | NSViewMinYMargin);
        char buffer[32];
        format_floating_point_number(beforeDecimal, afterDecimal, buffer, float(v.value(std::size_t(i))));
        field->setText(QString::fromLatin1(buffer));
        connect(field, &QLineEdit::editingFinished, this, [this, i] { readoutChanged(i); });
        connect(field, &QLineEdit::textEdited, this, [this, i] { readoutDidChange(i); });
        readoutFields[i] = field;
    }
}

void ParameterView::readoutChanged(int index)
{
    commitVectorComponent(index, false);
}

void ParameterView::readoutDidChange(int index)
{
    commitVectorComponent(index, true);
}

void ParameterView::commitVectorComponent(int index, bool whileTyping)
{
    if (!labelTextFieldPtr || index < 0 || index > 3 || !readoutFields[index])
        return;
    double typed = 0;
    // While typing, a half-written number ("-", "1e") is not committed as 0: the handle would jump.
    if (!parseTyped(readoutFields[index]->text(), typed) && whileTyping)
        return;
    const double value = valueFromReadout(m_dataType, typed);
    if (!std::isfinite(value))
        return;
    const imaging::Vector current = m_filter ? m_filter->value(m_key).value<imaging::Vector>() : imaging::Vector();
    imaging::Vector v{current.X(), current.Y(), current.Z(), current.W()};
    v.setValue(std::size_t(index), value);
    commit(QVariant::fromValue(v));
    if (m_master) m_master->updateView();
}

// ---- transform row ----

void ParameterView::addTransformForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                                          CanvasController *master)
{
    store(filter, key, master);
    const double W = width();
    const QVariant value = m_filter ? m_filter->value(key) : QVariant();
    usingNSAffineTransform = value.metaType() == QMetaType::fromType<imaging::AffineTransform>();
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1;
    if (usingNSAffineTransform) {
        const imaging::AffineTransform t = value.value<imaging::AffineTransform>();
        m11 = t.m11; m12 = t.m12; m21 = t.m21; m22 = t.m22;
    } else {
        const imaging::Vector v = value.value<imaging::Vector>();
        m11 = v.value(0); m12 = v.value(1); m21 = v.value(2); m22 = v.value(3);
    }
    const TransformFields f = decomposeTransform(m11, m12, m21, m22);
    lastScaleFloatValue = f.scale;
    lastAngleFloatValue = f.angle;
    lastStretchFloatValue = f.stretch;
    lastSkewFloatValue = f.skew;

    static const char *const captions[4] = {"Scale", "Angle", "Stretch", "Skew"};
    const double ys[4] = {51, 34, 17, 0};
    const double ranges[4][2] = {{-2, 2}, {0, 2 * pi}, {-2, 2}, {-10, 10}};
    const double positions[4] = {std::log10(std::abs(double(f.scale))), double(f.angle),
                                 std::log10(std::abs(double(f.stretch))), double(f.skew)};
    const float shown[4] = {f.scale, f.angle, f.stretch, f.skew};
    for (int part = 0; part < 4; ++part) {
        transformLabels[part] = makeCaption(QRectF(0, ys[part], 75, 16), QString::fromLatin1(captions[part]), true);
        auto *slider = new FloatSlider(this);
        slider->setMaxValue(ranges[part][1]);
        slider->setMinValue(ranges[part][0]);
        slider->setDoubleValue(positions[part]);
        place(slider, QRectF(80, ys[part], W - 133, 16), NSViewWidthSizable | NSViewMinYMargin);
        transformSliders[part] = slider;
        QLineEdit *readout = makeReadout(QRectF(W - 48, ys[part], 43, 16), NSViewMinXMargin | NSViewMinYMargin);
        readout->setText(readoutText(transformDataTypes[part], shown[part]));
        transformReadouts[part] = readout;
    }
    connect(transformSliders[0], &QSlider::valueChanged, this, &ParameterView::scaleSliderChanged);
    connect(transformSliders[1], &QSlider::valueChanged, this, &ParameterView::angleSliderChanged);
    connect(transformSliders[2], &QSlider::valueChanged, this, &ParameterView::stretchSliderChanged);
    connect(transformSliders[3], &QSlider::valueChanged, this, &ParameterView::skewSliderChanged);
    connect(transformReadouts[0], &QLineEdit::editingFinished, this, &ParameterView::scaleReadoutTextFieldChanged);
    connect(transformReadouts[1], &QLineEdit::editingFinished, this, &ParameterView::angleReadoutTextFieldChanged);
    connect(transformReadouts[2], &QLineEdit::editingFinished, this, &ParameterView::stretchReadoutTextFieldChanged);
    connect(transformReadouts[3], &QLineEdit::editingFinished, this, &ParameterView::skewReadoutTextFieldChanged);
}

void ParameterView::transformChanged(int part, float v, bool fromSlider)
{
    float *last[4] = {&lastScaleFloatValue, &lastAngleFloatValue, &lastStretchFloatValue, &lastSkewFloatValue};
    // A value that is not a number (a log of a typed negative, an overflow) is never composed.
    if (!std::isfinite(v) || v == *last[part])
        return;
    *last[part] = v;
    if (fromSlider) {
        transformReadouts[part]->setText(readoutText(transformDataTypes[part], v));
    } else {
        const bool logarithmic = part == 0 || part == 2;
        transformSliders[part]->setDoubleValue(logarithmic ? std::log10(double(v)) : double(v));
    }
    commitTransform();
}

void ParameterView::commitTransform()
{
    float tX = 0, tY = 0;
    const QVariant value = m_filter ? m_filter->value(m_key) : QVariant();
    if (value.metaType() == QMetaType::fromType<imaging::AffineTransform>()) {
        const imaging::AffineTransform t = value.value<imaging::AffineTransform>();
        tX = float(t.tX);
        tY = float(t.tY);
    } else {
        const imaging::Vector v = value.value<imaging::Vector>();
        tX = float(v.value(4));
        tY = float(v.value(5));
    }
    if (usingNSAffineTransform)
        commit(QVariant::fromValue(standard_fields_to_transform(lastScaleFloatValue, lastAngleFloatValue,
                                                                lastStretchFloatValue, lastSkewFloatValue, tX, tY)));
    else
        commit(QVariant::fromValue(standard_fields_to_transform_vector(lastScaleFloatValue, lastAngleFloatValue,
                                                                       lastStretchFloatValue, lastSkewFloatValue, tX, tY)));
    if (m_master) m_master->updateView();
}

// The eight transform handlers: each needs its caption; with its slider or readout missing it only
// asks for a redraw.
bool ParameterView::transformPartReady(int part)
{
    if (!transformLabels[part])
        return false;
    if (!transformReadouts[part] || !transformSliders[part]) {
        if (m_master) m_master->updateView();
        return false;
    }
    return true;
}

void ParameterView::scaleSliderChanged()
{
    if (!transformPartReady(0))
        return;
    transformChanged(0, float(std::pow(10.0, transformSliders[0]->doubleValue())), true);
}

void ParameterView::angleSliderChanged()
{
    if (!transformPartReady(1))
        return;
    transformChanged(1, float(transformSliders[1]->doubleValue()), true);
}

void ParameterView::stretchSliderChanged()
{
    if (!transformPartReady(2))
        return;
    transformChanged(2, float(std::pow(10.0, transformSliders[2]->doubleValue())), true);
}

void ParameterView::skewSliderChanged()
{
    if (!transformPartReady(3))
        return;
    transformChanged(3, float(transformSliders[3]->doubleValue()), true);
}

void ParameterView::scaleReadoutTextFieldChanged()
{
    if (!transformPartReady(0))
        return;
    double typed = 0;
    parseTyped(transformReadouts[0]->text(), typed);
    transformChanged(0, valueFromReadout(transformDataTypes[0], typed), false);
}

void ParameterView::angleReadoutTextFieldChanged()
{
    if (!transformPartReady(1))
        return;
    double typed = 0;
    parseTyped(transformReadouts[1]->text(), typed);
    transformChanged(1, valueFromReadout(transformDataTypes[1], typed), false);
}

void ParameterView::stretchReadoutTextFieldChanged()
{
    if (!transformPartReady(2))
        return;
    double typed = 0;
    parseTyped(transformReadouts[2]->text(), typed);
    transformChanged(2, valueFromReadout(transformDataTypes[2], typed), false);
}

void ParameterView::skewReadoutTextFieldChanged()
{
    if (!transformPartReady(3))
        return;
    double typed = 0;
    parseTyped(transformReadouts[3]->text(), typed);
    transformChanged(3, valueFromReadout(transformDataTypes[3], typed), false);
}

// ---- image row ----

void ParameterView::addImageWellForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                                          CanvasController *master)
{
    store(filter, key, master);
    imageViewPtr = new VurEvoduImageView(this);
    place(imageViewPtr, QRectF(80, 0, 48, 44), NSViewMinXMargin | NSViewWidthSizable | NSViewMinYMargin);
    connect(imageViewPtr, &VurEvoduImageView::imageChanged, this, &ParameterView::imageWellChanged);
    labelTextFieldPtr = makeCaption(QRectF(0, 10, 75, 16), captionText(false), true);
    pushButtonPtr = new QPushButton(QStringLiteral("Choose"), this);
    pushButtonPtr->setFont(smallFont(pushButtonPtr->font(), 9));
    place(pushButtonPtr, QRectF(135, 13, 75, 16), NSViewMinXMargin | NSViewWidthSizable | NSViewMinYMargin);
    connect(pushButtonPtr, &QPushButton::clicked, this, &ParameterView::pushButtonChanged);

    const imaging::Image image = m_filter ? m_filter->value(key).value<imaging::Image>() : imaging::Image();
    const imaging::Rect extent = image.isNull() ? imaging::Rect() : image.extent();
    if (extent.isEmpty() || extent.isInfinite())
        return;
    // A thumbnail 64 points on its longer side.
    const double w = extent.width(), h = extent.height();
    double tw, th;
    float sx, sy;
    if (w > h) {
        tw = 64;
        sx = float(64 / w);
        th = std::max(1.0, std::round(h * sx));
        sy = float(th / h);
    } else {
        th = 64;
        sy = float(64 / h);
        tw = std::max(1.0, std::round(w * sy));
        sx = float(tw / w);
    }
    const imaging::Image small = image.transformed(imaging::AffineTransform::scale(sx, sy));
    imageViewPtr->setImage(CIImageToNSImage(small, QRectF(0, 0, tw, th)));
}

namespace {
QImage loadPicture(const QString &path)
{
    QString error;
    const QImage picture = ImageFiles::readImageFile(path, &error);
    if (picture.isNull())
        qWarning("Cannot read the image file %s: %s", qPrintable(path), qPrintable(error));
    return picture;
}
} // namespace

void ParameterView::imageWellChanged()
{
    if (!labelTextFieldPtr)
        return;
    if (imageViewPtr && !imageViewPtr->filePath().isEmpty()) {
        // An unreadable file leaves the input as it was: clearing it would blank the canvas.
        const QImage picture = loadPicture(imageViewPtr->filePath());
        if (!picture.isNull())
            commit(QVariant::fromValue(CIImageWithNSImage(picture)));
    }
    if (m_master) m_master->updateView();
}

void ParameterView::pushButtonChanged()
{
    if (!labelTextFieldPtr)
        return;
    if (!imageViewPtr) {
        if (m_master) m_master->updateView();
        return;
    }
    const QString path = QFileDialog::getOpenFileName(this, tr("Choose an image"));
    if (path.isEmpty())
        return;
    imageViewPtr->setFilePath1(path);
    const QImage picture = loadPicture(path);
    if (!picture.isNull()) {
        imageViewPtr->setImage(picture);
        commit(QVariant::fromValue(CIImageWithNSImage(picture)));
    }
    if (m_master) m_master->updateView();
}
