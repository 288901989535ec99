#include "views/parameterview.h"

#include "imaging/qimageadapter.h"
#include "views/colorrow.h"
#include "views/flagrow.h"
#include "views/imagerow.h"
#include "views/numberrow.h"
#include "views/rowkinds.h"
#include "views/transformrow.h"
#include "views/vectorfieldsrow.h"

#include <QFontMetricsF>
#include <QLabel>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

namespace {

constexpr double pi = std::numbers::pi;

// Field width and precision of the readout of each unit (scalar, angle, time, distance).
constexpr int beforeDecimals[4] = {4, 3, 1, 4};
constexpr int afterDecimals[4] = {2, 1, 3, 1};

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

void ParameterView::buildRow(imaging::ControlKind kind, const std::shared_ptr<imaging::Filter> &filter,
                             const QString &key, CanvasController *master)
{
    if (const RowKind *k = rowKind(kind))
        m_row = k->build(this, filter, key, master);
}

void ParameterView::addSliderForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                                       CanvasController *master)
{
    buildRow(imaging::controls::Number, filter, key, master);
}

void ParameterView::addCheckBoxForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                                         CanvasController *master)
{
    buildRow(imaging::controls::Flag, filter, key, master);
}

void ParameterView::addColorWellForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                                          CanvasController *master)
{
    buildRow(imaging::controls::Colour, filter, key, master);
}

void ParameterView::addVectorForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                                       CanvasController *master)
{
    buildRow(imaging::controls::VectorRow, filter, key, master);
}

void ParameterView::addOffsetForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                                       CanvasController *master)
{
    buildRow(imaging::controls::Offset, filter, key, master);
}

void ParameterView::addTransformForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                                          CanvasController *master)
{
    buildRow(imaging::controls::Transform, filter, key, master);
}

void ParameterView::addImageWellForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                                          CanvasController *master)
{
    buildRow(imaging::controls::ImageWell, filter, key, master);
}

// ---- change handlers ----

void ParameterView::sliderChanged()
{
    if (auto *r = rowAs<NumberRow>()) r->sliderChanged();
}

void ParameterView::readoutTextFieldChanged()
{
    if (auto *r = rowAs<NumberRow>()) r->readoutTextFieldChanged();
}

void ParameterView::checkBoxChanged()
{
    if (auto *r = rowAs<FlagRow>()) r->checkBoxChanged();
}

void ParameterView::colorWellChanged()
{
    if (auto *r = rowAs<ColorRow>()) r->colorWellChanged();
}

void ParameterView::readoutChanged(int index)
{
    if (auto *r = rowAs<VectorFieldsRow>()) r->readoutChanged(index);
}

void ParameterView::readoutDidChange(int index)
{
    if (auto *r = rowAs<VectorFieldsRow>()) r->readoutDidChange(index);
}

void ParameterView::scaleSliderChanged()
{
    if (auto *r = rowAs<TransformRow>()) r->sliderChanged(TransformRow::Scale);
}

void ParameterView::angleSliderChanged()
{
    if (auto *r = rowAs<TransformRow>()) r->sliderChanged(TransformRow::Angle);
}

void ParameterView::stretchSliderChanged()
{
    if (auto *r = rowAs<TransformRow>()) r->sliderChanged(TransformRow::Stretch);
}

void ParameterView::skewSliderChanged()
{
    if (auto *r = rowAs<TransformRow>()) r->sliderChanged(TransformRow::Skew);
}

void ParameterView::scaleReadoutTextFieldChanged()
{
    if (auto *r = rowAs<TransformRow>()) r->readoutChanged(TransformRow::Scale);
}

void ParameterView::angleReadoutTextFieldChanged()
{
    if (auto *r = rowAs<TransformRow>()) r->readoutChanged(TransformRow::Angle);
}

void ParameterView::stretchReadoutTextFieldChanged()
{
    if (auto *r = rowAs<TransformRow>()) r->readoutChanged(TransformRow::Stretch);
}

void ParameterView::skewReadoutTextFieldChanged()
{
    if (auto *r = rowAs<TransformRow>()) r->readoutChanged(TransformRow::Skew);
}

void ParameterView::imageWellChanged()
{
    if (auto *r = rowAs<ImageRow>()) r->imageWellChanged();
}

void ParameterView::pushButtonChanged()
{
    if (auto *r = rowAs<ImageRow>()) r->pushButtonChanged();
}

// ---- read access ----

QString ParameterView::key() const
{
    return m_row ? m_row->key() : QString();
}

FloatSlider *ParameterView::slider() const
{
    auto *r = rowAs<NumberRow>();
    return r ? r->slider() : nullptr;
}

QLineEdit *ParameterView::readoutTextField() const
{
    auto *r = rowAs<NumberRow>();
    return r ? r->readout() : nullptr;
}

QLabel *ParameterView::labelTextField() const
{
    return m_row ? m_row->caption() : nullptr;
}

QCheckBox *ParameterView::checkBox() const
{
    auto *r = rowAs<FlagRow>();
    return r ? r->checkBox() : nullptr;
}

ColorWell *ParameterView::colorWell() const
{
    auto *r = rowAs<ColorRow>();
    return r ? r->colorWell() : nullptr;
}

VurEvoduImageView *ParameterView::imageView() const
{
    auto *r = rowAs<ImageRow>();
    return r ? r->imageView() : nullptr;
}

QPushButton *ParameterView::pushButton() const
{
    auto *r = rowAs<ImageRow>();
    return r ? r->pushButton() : nullptr;
}

QLineEdit *ParameterView::readoutField(int index) const
{
    auto *r = rowAs<VectorFieldsRow>();
    return r ? r->field(index) : nullptr;
}

FloatSlider *ParameterView::transformSlider(int part) const
{
    auto *r = rowAs<TransformRow>();
    return r ? r->slider(part) : nullptr;
}

QLineEdit *ParameterView::transformReadout(int part) const
{
    auto *r = rowAs<TransformRow>();
    return r ? r->readout(part) : nullptr;
}

int ParameterView::dataType() const
{
    auto *r = rowAs<NumberRow>();
    return r ? r->dataType() : Scalar;
}

float ParameterView::lastFloatValue() const
{
    auto *r = rowAs<NumberRow>();
    return r ? r->lastFloatValue() : 0.0f;
}

TransformFields ParameterView::lastTransformFields() const
{
    auto *r = rowAs<TransformRow>();
    return r ? r->fields() : TransformFields();
}
