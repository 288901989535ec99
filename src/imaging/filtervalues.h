#pragma once

#include <QVariantMap>

#include "imaging/image.h"
#include "imaging/values.h"

namespace imaging {

// Read access to a filter's checked input values for its build function. Missing values read as
// zero, the null image or the identity.
class FilterValues
{
public:
    explicit FilterValues(const QVariantMap &values) : m_values(values) {}

    double number(const QString &key) const { return m_values.value(key).toDouble(); }
    float f(const QString &key) const { return static_cast<float>(number(key)); }
    bool boolean(const QString &key) const { return m_values.value(key).toBool(); }
    Vector vector(const QString &key) const { return m_values.value(key).value<Vector>(); }
    Color color(const QString &key) const { return m_values.value(key).value<Color>(); }
    Image image(const QString &key) const { return m_values.value(key).value<Image>(); }
    // An NSAffineTransform input, given as a transform or in the six-value vector form
    // (m11 m12 m21 m22 tX tY).
    AffineTransform transform(const QString &key) const
    {
        const QVariant v = m_values.value(key);
        if (v.metaType() == QMetaType::fromType<AffineTransform>()) return v.value<AffineTransform>();
        if (v.metaType() == QMetaType::fromType<Vector>()) {
            const Vector t = v.value<Vector>();
            if (t.count() >= 6) return {t.value(0), t.value(1), t.value(2), t.value(3), t.value(4), t.value(5)};
        }
        return {};
    }
    const QVariantMap &all() const { return m_values; }

private:
    QVariantMap m_values;
};

} // namespace imaging
