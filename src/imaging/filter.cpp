#include "imaging/filter.h"

#include <algorithm>
#include <cmath>
#include <new>

#include <QColor>
#include <QDebug>

#include "imaging/filterrecipe.h"
#include "imaging/filterregistry.h"
#include "imaging/filtervalues.h"

namespace imaging {

namespace {

bool isNumeric(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Bool: case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong:
    case QMetaType::ULongLong: case QMetaType::Double: case QMetaType::Float: case QMetaType::Short:
    case QMetaType::UShort: case QMetaType::Long: case QMetaType::ULong: case QMetaType::Char:
    case QMetaType::SChar: case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

// Coordinates and colour components beyond this are clamped: no picture needs them, and kernels
// may turn coordinates into integers.
constexpr double coordinateLimit = 1e8;

Vector clampedVector(Vector v)
{
    for (std::size_t i = 0; i < v.count(); ++i) v.setValue(i, std::clamp(v.value(i), -coordinateLimit, coordinateLimit));
    return v;
}

// A rectangle (x, y, width, height) limited by its edges: one that contains the picture still
// does, however far its edges reach.
Vector limitedRectangle(const Vector &v)
{
    auto lim = [](double e) { return std::clamp(e, -coordinateLimit, coordinateLimit); };
    const double x0 = lim(v.X()), y0 = lim(v.Y()), x1 = lim(v.X() + v.Z()), y1 = lim(v.Y() + v.W());
    return {x0, y0, x1 - x0, y1 - y0};
}

bool finiteVector(const Vector &v)
{
    for (std::size_t i = 0; i < v.count(); ++i)
        if (!std::isfinite(v.value(i))) return false;
    return true;
}

} // namespace

Filter::Filter(std::shared_ptr<const FilterDescription> description) : m_description(std::move(description))
{
    setDefaults();
}

std::shared_ptr<Filter> Filter::filterWithName(const QString &name)
{
    auto d = FilterRegistry::description(name);
    if (!d) return nullptr;
    return std::make_shared<Filter>(std::move(d));
}

void Filter::setDefaults()
{
    for (const InputDescription &in : m_description->inputs) {
        if (in.defaultValue.isValid())
            m_values.insert(in.key, in.defaultValue);
        else if (!in.isImage())
            m_values.remove(in.key);
    }
}

QStringList Filter::inputKeys() const
{
    QStringList keys;
    for (const InputDescription &in : m_description->inputs) keys << in.key;
    return keys;
}

QVariantMap Filter::attributes() const
{
    QVariantMap a;
    a.insert(kCIAttributeFilterName, m_description->name);
    a.insert(kCIAttributeFilterDisplayName, m_description->displayName);
    a.insert(kCIAttributeFilterCategories, m_description->categories);
    for (const InputDescription &in : m_description->inputs) {
        QVariantMap d;
        d.insert(kCIAttributeClass, in.attributeClass);
        if (!in.attributeType.isEmpty()) d.insert(kCIAttributeType, in.attributeType);
        d.insert(kCIAttributeDisplayName, in.displayName);
        if (in.defaultValue.isValid()) d.insert(kCIAttributeDefault, in.defaultValue);
        if (in.min) d.insert(kCIAttributeMin, *in.min);
        if (in.max) d.insert(kCIAttributeMax, *in.max);
        if (in.sliderMin) d.insert(kCIAttributeSliderMin, *in.sliderMin);
        if (in.sliderMax) d.insert(kCIAttributeSliderMax, *in.sliderMax);
        if (in.identity) d.insert(kCIAttributeIdentity, *in.identity);
        a.insert(in.key, d);
    }
    return a;
}

void Filter::setValue(const QVariant &value, const QString &key)
{
    const InputDescription *in = m_description->input(key);
    const QString &filterName = m_description->name;
    if (!in) {
        qWarning("%s: no input named \"%s\"", qPrintable(filterName), qPrintable(key));
        return;
    }
    if (!value.isValid()) {
        m_values.remove(key);
        return;
    }
    auto reject = [&](const char *why) {
        qWarning("%s: rejected a value of type %s for %s (%s)", qPrintable(filterName),
                 value.metaType().name() ? value.metaType().name() : "none", qPrintable(key), why);
    };
    switch (in->inputClass()) {
    case InputClass::Number: {
        if (!isNumeric(value)) return reject("expected a number");
        const double d = value.toDouble();
        if (!std::isfinite(d)) return reject("not a finite number");
        if (in->attributeType == kCIAttributeTypeBoolean) {
            m_values.insert(key, d != 0.0);
            return;
        }
        double clamped = d;
        if (in->min && clamped < *in->min) clamped = *in->min;
        if (in->max && clamped > *in->max) clamped = *in->max;
        m_values.insert(key, clamped);
        return;
    }
    case InputClass::Color: {
        if (value.metaType() == QMetaType::fromType<QColor>()) {
            const QColor c = value.value<QColor>();
            m_values.insert(key, QVariant::fromValue(Color(c.redF(), c.greenF(), c.blueF(), c.alphaF())));
            return;
        }
        if (value.metaType() != QMetaType::fromType<Color>()) return reject("expected a colour");
        const Color c = value.value<Color>();
        if (!std::isfinite(c.red) || !std::isfinite(c.green) || !std::isfinite(c.blue) || !std::isfinite(c.alpha))
            return reject("colour components must be finite");
        // Extended-range colours are allowed, within reason; alpha is a coverage.
        auto lim = [](double v) { return std::clamp(v, -1e4, 1e4); };
        m_values.insert(key, QVariant::fromValue(Color(lim(c.red), lim(c.green), lim(c.blue), std::clamp(c.alpha, 0.0, 1.0))));
        return;
    }
    case InputClass::Vector: {
        if (value.metaType() != QMetaType::fromType<Vector>()) return reject("expected a vector");
        const Vector v = value.value<Vector>();
        if (!finiteVector(v)) return reject("vector components must be finite");
        if (in->attributeType == kCIAttributeTypeRectangle) {
            if (v.count() != 4) return reject("a rectangle needs four components: x, y, width and height");
            m_values.insert(key, QVariant::fromValue(limitedRectangle(v)));
            return;
        }
        m_values.insert(key, QVariant::fromValue(clampedVector(v)));
        return;
    }
    case InputClass::Transform:
        if (value.metaType() == QMetaType::fromType<AffineTransform>()) {
            const AffineTransform t = value.value<AffineTransform>();
            if (!finiteVector({t.m11, t.m12, t.m21, t.m22, t.tX, t.tY})) return reject("transform must be finite");
            m_values.insert(key, value);
        } else if (value.metaType() == QMetaType::fromType<Vector>()) {
            const Vector v = value.value<Vector>();
            if (v.count() < 6 || !finiteVector(v)) return reject("expected six finite values");
            m_values.insert(key, QVariant::fromValue(clampedVector(v)));
        } else {
            return reject("expected a transform");
        }
        return;
    case InputClass::Image:
        if (value.metaType() != QMetaType::fromType<Image>()) return reject("expected an image");
        if (value.value<Image>().isNull()) m_values.remove(key);
        else m_values.insert(key, value);
        return;
    case InputClass::Other:
        m_values.insert(key, value);
        return;
    }
}

QVariant Filter::value(const QString &key) const
{
    if (key == QLatin1String("outputImage")) {
        const Image out = outputImage();
        return out.isNull() ? QVariant() : QVariant::fromValue(out);
    }
    return m_values.value(key);
}

Image Filter::outputImage() const
{
    for (const InputDescription &in : m_description->inputs)
        if (in.isImage() && !m_values.contains(in.key)) return Image();
    // A build that makes a small table by rendering (a colour map's ramp) can run out of memory.
    Image out;
    try {
        out = m_description->build(FilterValues(m_values));
    } catch (const std::bad_alloc &) {
        qWarning("%s: not enough memory to build the output", qPrintable(m_description->name));
        return Image();
    }
    if (!out.isNull()) {
        auto recipe = std::make_shared<FilterRecipe>();
        recipe->name = m_description->name;
        recipe->values = m_values;
        out.setRecipe(std::move(recipe));
    }
    return out;
}

QStringList Filter::filterNamesInCategory(const QString &category)
{
    return FilterRegistry::filterNamesInCategory(category);
}

QStringList Filter::filterNamesInCategories(const QStringList &categories)
{
    return FilterRegistry::filterNamesInCategories(categories);
}

QString Filter::localizedNameForFilterName(const QString &name)
{
    return FilterRegistry::localizedNameForFilterName(name);
}

QString Filter::localizedNameForCategory(const QString &category)
{
    return FilterRegistry::localizedNameForCategory(category);
}

} // namespace imaging
