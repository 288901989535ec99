#include "imaging/declare.h"

#include <algorithm>

namespace imaging::declare {

QString displayNameForKey(const QString &key)
{
    QString s = key.startsWith(QLatin1String("input")) ? key.mid(5) : key;
    QString out;
    for (int i = 0; i < s.size(); ++i) {
        if (i > 0 && (s[i].isUpper() || (s[i].isDigit() && !s[i - 1].isDigit()))) out += QLatin1Char(' ');
        out += s[i];
    }
    return out;
}

namespace {
InputDescription make(const QString &key, const QString &cls, const QString &type, QVariant def,
                      const QString &displayName)
{
    InputDescription d;
    d.key = key;
    d.attributeClass = cls;
    d.attributeType = type;
    d.defaultValue = std::move(def);
    d.displayName = displayName.isEmpty() ? displayNameForKey(key) : displayName;
    return d;
}
} // namespace

InputDescription image(const QString &key, const QString &displayName, DefaultImage defaultImage)
{
    InputDescription d = make(key, kClassCIImage, QString(), QVariant(), displayName);
    d.defaultImage = defaultImage;
    return d;
}

InputDescription texture(const QString &key, const QString &displayName, DefaultImage defaultImage)
{
    InputDescription d = image(key, displayName, defaultImage);
    d.repeats = true;
    return d;
}

InputDescription number(const QString &key, const QString &type, double def, Range r,
                        std::optional<double> identity, const QString &displayName)
{
    InputDescription d = make(key, kClassNSNumber, type, def, displayName);
    d.min = r.min; d.max = r.max; d.sliderMin = r.sliderMin; d.sliderMax = r.sliderMax;
    d.identity = identity;
    return d;
}

InputDescription scalar(const QString &key, double def, Range r, std::optional<double> identity)
{
    return number(key, kCIAttributeTypeScalar, def, r, identity);
}

InputDescription distance(const QString &key, double def, Range r, std::optional<double> identity)
{
    return number(key, kCIAttributeTypeDistance, def, r, identity);
}

InputDescription angle(const QString &key, double def, Range r, std::optional<double> identity)
{
    return number(key, kCIAttributeTypeAngle, def, r, identity);
}

InputDescription time(const QString &key, double def)
{
    return number(key, kCIAttributeTypeTime, def, {0, 1, 0, 1}, 0.0);
}

InputDescription boolean(const QString &key, bool def)
{
    InputDescription d = make(key, kClassNSNumber, kCIAttributeTypeBoolean, def, {});
    d.min = 0; d.max = 1; d.sliderMin = 0; d.sliderMax = 1;
    return d;
}

InputDescription color(const QString &key, const Color &def, const QString &displayName)
{
    return make(key, kClassCIColor, QString(), QVariant::fromValue(def), displayName);
}

InputDescription position(const QString &key, const Vector &def)
{
    return make(key, kClassCIVector, kCIAttributeTypePosition, QVariant::fromValue(def), {});
}

InputDescription position3(const QString &key, const Vector &def)
{
    return make(key, kClassCIVector, kCIAttributeTypePosition3, QVariant::fromValue(def), {});
}

InputDescription rectangle(const QString &key, const Vector &def)
{
    return make(key, kClassCIVector, kCIAttributeTypeRectangle, QVariant::fromValue(def), {});
}

InputDescription offset(const QString &key, const Vector &def)
{
    return make(key, kClassCIVector, kCIAttributeTypeOffset, QVariant::fromValue(def), {});
}

InputDescription vector(const QString &key, const Vector &def)
{
    return make(key, kClassCIVector, QString(), QVariant::fromValue(def), {});
}

InputDescription transform(const QString &key, const AffineTransform &def)
{
    return make(key, kClassNSAffineTransform, QString(), QVariant::fromValue(def), {});
}

InputDescription transformVector(const QString &key, const AffineTransform &def)
{
    const Vector v{def.m11, def.m12, def.m21, def.m22, def.tX, def.tY};
    return make(key, kClassNSAffineTransform, QString(), QVariant::fromValue(v), {});
}

FilterDescription filter(const QString &name, const QString &displayName, QStringList categories,
                         std::vector<InputDescription> inputs, std::function<Image(const FilterValues &)> build)
{
    FilterDescription d;
    d.name = name;
    d.displayName = displayName;
    categories << kCICategoryStillImage << kCICategoryBuiltIn;
    d.categories = std::move(categories);
    d.inputs = std::move(inputs);
    d.build = std::move(build);
    return d;
}

FilterDescription patterned(FilterDescription d, const QString &key, double factor)
{
    // Nothing the full render shows is finer than one of its pixels.
    d.finestDetail = [key, factor](const FilterValues &v) { return std::max(1.0, v.number(key) * factor); };
    return d;
}

FilterDescription pixelSized(FilterDescription d, double pixels)
{
    d.finestDetail = [pixels](const FilterValues &) { return pixels; };
    return d;
}

} // namespace imaging::declare
