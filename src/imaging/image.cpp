#include "imaging/image.h"

#include <cmath>

#include "imaging/cropnode.h"
#include "imaging/filter.h"
#include "imaging/filterrecipe.h"
#include "imaging/node.h"
#include "imaging/transformnode.h"

namespace imaging {

Image Node::scaled(const Image &self, double s) const
{
    return self.transformed(AffineTransform::scale(s, s));
}

Image::Image(std::shared_ptr<const Node> node) : m_node(std::move(node)) {}

Rect Image::extent() const
{
    return m_node ? m_node->extent() : Rect();
}

Image Image::transformed(const AffineTransform &t) const
{
    if (isNull()) return Image();
    if (!t.isInvertible() || !std::isfinite(t.tX) || !std::isfinite(t.tY)) return Image();
    if (t.isIdentity()) return *this;
    return Image(std::make_shared<TransformNode>(*this, t));
}

Image Image::cropped(const Rect &r) const
{
    if (isNull()) return Image();
    return Image(std::make_shared<CropNode>(*this, r));
}

void Image::render(PixelBuffer &out) const
{
    if (out.isEmpty()) return;
    if (!m_node) {
        out.clear();
        return;
    }
    m_node->render(out);
}

namespace {

// A filter value as it should be for the picture scaled by s, judged by the input's attribute
// type: lengths and positions scale, angles, times and plain numbers do not.
QVariant scaledValue(const QVariant &value, const QVariantMap &attribute, double s)
{
    const QString type = attribute.value(QStringLiteral("CIAttributeType")).toString();
    if (value.metaType() == QMetaType::fromType<Image>())
        return QVariant::fromValue(value.value<Image>().scaledForPreview(s));
    if (value.metaType() == QMetaType::fromType<AffineTransform>()) {
        AffineTransform t = value.value<AffineTransform>();
        t.tX *= s;
        t.tY *= s;
        return QVariant::fromValue(t);
    }
    if (value.metaType() == QMetaType::fromType<Vector>()) {
        Vector v = value.value<Vector>();
        const QString cls = attribute.value(QStringLiteral("CIAttributeClass")).toString();
        if (cls == QLatin1String("NSAffineTransform")) {
            if (v.count() >= 6) { v.setValue(4, v.value(4) * s); v.setValue(5, v.value(5) * s); }
        } else if (type == QLatin1String("CIAttributeTypeRectangle")) {
            for (std::size_t i = 0; i < std::min<std::size_t>(4, v.count()); ++i) v.setValue(i, v.value(i) * s);
        } else if (type == QLatin1String("CIAttributeTypePosition") ||
                   type == QLatin1String("CIAttributeTypePosition3") ||
                   type == QLatin1String("CIAttributeTypeOffset")) {
            for (std::size_t i = 0; i < std::min<std::size_t>(2, v.count()); ++i) v.setValue(i, v.value(i) * s);
        }
        return QVariant::fromValue(v);
    }
    if (type == QLatin1String("CIAttributeTypeDistance")) {
        bool ok = false;
        const double d = value.toDouble(&ok);
        if (ok) return QVariant(d * s);
    }
    return value;
}

} // namespace

Image Image::scaledForPreview(double s) const
{
    if (isNull() || !(s > 0) || !std::isfinite(s) || s == 1.0) return *this;
    if (m_recipe) {
        auto filter = Filter::filterWithName(m_recipe->name);
        if (filter) {
            const QVariantMap attrs = filter->attributes();
            for (auto it = m_recipe->values.cbegin(); it != m_recipe->values.cend(); ++it)
                filter->setValue(scaledValue(it.value(), attrs.value(it.key()).toMap(), s), it.key());
            Image out = filter->outputImage();
            if (!out.isNull()) return out;
        }
    }
    return m_node->scaled(*this, s);
}

} // namespace imaging
