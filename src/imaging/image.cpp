#include "imaging/image.h"

#include <algorithm>
#include <cmath>

#include "imaging/areareducenode.h"
#include "imaging/blurs.h"
#include "imaging/cropnode.h"
#include "imaging/filtervalues.h"
#include "imaging/kernels.h"
#include "imaging/filter.h"
#include "imaging/filterrecipe.h"
#include "imaging/node.h"
#include "imaging/reducenode.h"
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

// A texture that a filter repeats over the plane, as the preview at scale s needs it: one period
// of the repeated pattern scaled (after the blur that a shrink needs, as a mipmap would), so
// that its edges carry the neighbouring copies. Scaled on its own, its border pixels would fade into transparency and
// every join of the copies would show as a line.
Image scaledRepeating(const Image &tile, double s)
{
    // A texture as large as a picture rarely shows a join, and blurring it whole would cost what
    // a full-resolution render does: it is scaled as a picture.
    constexpr double largeTexture = 1 << 20;
    const Rect e = tile.extent();
    if (e.isEmpty() || e.isInfinite() || e.width() * e.height() > largeTexture) return tile.scaledForPreview(s);
    Image pattern = kernels::repeated(tile, e.x(), e.y());
    if (s < 1) pattern = blurs::gaussian(pattern, 0.45 * std::sqrt(1 / (s * s) - 1));
    return pattern.transformed(AffineTransform::scale(s, s))
        .cropped(Rect::fromEdges(e.x() * s, e.y() * s, e.maxX() * s, e.maxY() * s));
}

// A filter value as it should be for the picture scaled by s, judged by the input's class and
// type: lengths and positions scale, angles, times and plain numbers do not.
QVariant scaledValue(const QVariant &value, const InputDescription &input, double s)
{
    const QString &type = input.attributeType;
    if (value.metaType() == QMetaType::fromType<Image>()) {
        const Image image = value.value<Image>();
        return QVariant::fromValue(input.repeats ? scaledRepeating(image, s) : image.scaledForPreview(s));
    }
    if (value.metaType() == QMetaType::fromType<AffineTransform>()) {
        AffineTransform t = value.value<AffineTransform>();
        t.tX *= s;
        t.tY *= s;
        return QVariant::fromValue(t);
    }
    if (value.metaType() == QMetaType::fromType<Vector>()) {
        Vector v = value.value<Vector>();
        if (input.inputClass() == InputClass::Transform) {
            if (v.count() >= 6) { v.setValue(4, v.value(4) * s); v.setValue(5, v.value(5) * s); }
        } else {
            // Every spatial component: the four of a rectangle, the three of a 3D position (a
            // light's height above the picture scales with it), the two of a point or offset.
            std::size_t spatial = 0;
            if (type == QLatin1String("CIAttributeTypeRectangle")) spatial = 4;
            else if (type == QLatin1String("CIAttributeTypePosition3")) spatial = 3;
            else if (type == QLatin1String("CIAttributeTypePosition") || type == QLatin1String("CIAttributeTypeOffset")) spatial = 2;
            for (std::size_t i = 0; i < std::min(spatial, v.count()); ++i) v.setValue(i, v.value(i) * s);
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

// How many times finer than scale s a filter's pattern is rendered for the preview, to be
// averaged down: enough for its finest detail to span several pixels, so that the average
// matches the full result seen at scale s (a halftone at fit zoom then shows its tone, not
// moiré). At most full resolution, and at most 4 x 4 samples per preview pixel: a fit-zoom
// preview of a very large picture trades some of that likeness for staying interactive.
int supersampling(const FilterDescription &d, const QVariantMap &values, double s)
{
    constexpr double severalPixels = 8;
    constexpr int mostTimes = 4;
    if (!d.finestDetail || s >= 1) return 1;
    const double detail = d.finestDetail(FilterValues(values)) * s;
    if (!(detail > 0) || detail >= severalPixels) return 1;
    const int full = static_cast<int>(std::floor(1 / s + 1e-9));
    return std::clamp(static_cast<int>(std::ceil(severalPixels / detail)), 1, std::min(full, mostTimes));
}

// The scale a filter with sizes of its own in pixels is rendered at for a preview at s, to be
// averaged down to s: half size, where a mipmap level of the picture serves without resampling
// and sizes of a pixel or two still span a pixel, but at most 4 x 4 samples per preview pixel (a
// power of two there as well) so that a fit-zoom preview of a very large picture stays
// interactive. From half size up, the preview's own scale.
double finerScale(double s)
{
    if (s >= 0.5) return s;
    double t = 0.5;
    while (t > 4 * s) t *= 0.5;
    return t;
}

} // namespace

Image Image::scaledForPreview(double s) const
{
    if (isNull() || !(s > 0) || !std::isfinite(s) || s == 1.0) return *this;
    if (m_recipe) {
        auto filter = Filter::filterWithName(m_recipe->name);
        if (filter) {
            const FilterDescription &d = filter->description();
            if (d.previewBuild && s < 1) {
                QVariantMap values = m_recipe->values;
                for (auto it = values.begin(); it != values.end(); ++it)
                    if (const InputDescription *input = d.input(it.key())) it.value() = scaledValue(it.value(), *input, s);
                if (d.previewValues) d.previewValues(values, s);
                Image out;
                try {
                    out = d.previewBuild(FilterValues(values), s);
                } catch (const std::bad_alloc &) {
                    qWarning("%s: not enough memory to build the preview", qPrintable(d.name));
                }
                if (!out.isNull()) return out;
            }
            if (d.buildAtScale && s < 1) {
                const double t = finerScale(s);
                QVariantMap values = m_recipe->values;
                for (auto it = values.begin(); it != values.end(); ++it)
                    if (const InputDescription *input = d.input(it.key())) it.value() = scaledValue(it.value(), *input, t);
                if (d.previewValues) d.previewValues(values, t);
                Image out = d.buildAtScale(FilterValues(values), t);
                if (!out.isNull()) return t > s ? Image(std::make_shared<AreaReduceNode>(out, t / s)) : out;
            }
            const int k = supersampling(d, m_recipe->values, s);
            QVariantMap values;
            for (auto it = m_recipe->values.cbegin(); it != m_recipe->values.cend(); ++it)
                if (const InputDescription *input = d.input(it.key())) values.insert(it.key(), scaledValue(it.value(), *input, s * k));
            if (d.previewValues) d.previewValues(values, s * k);
            for (auto it = values.cbegin(); it != values.cend(); ++it) filter->setValue(it.value(), it.key());
            Image out = filter->outputImage();
            if (!out.isNull()) return k > 1 ? Image(std::make_shared<ReduceNode>(out, k)) : out;
        }
    }
    return m_node->scaled(*this, s);
}

} // namespace imaging
