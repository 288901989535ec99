#include "imaging/standardcomposition.h"

#include "imaging/filterdescription.h"

namespace imaging::standardcomposition {

namespace {

bool isImageInput(const QVariantMap &attrs, const QString &key)
{
    return attrs.value(key).toMap().value(kCIAttributeClass).toString() == QLatin1String("CIImage");
}

void setImage(Filter &filter, const char *key, const std::function<Image()> &source)
{
    if (!source)
        return;
    const Image image = source();
    if (!image.isNull())
        filter.setValue(QVariant::fromValue(image), QLatin1String(key));
}

} // namespace

QString currentImageKey(const Filter &filter)
{
    const QVariantMap attrs = filter.attributes();
    if (filter.inputKeys().contains(QStringLiteral("inputBackgroundImage")) && isImageInput(attrs, QStringLiteral("inputBackgroundImage")))
        return QStringLiteral("inputBackgroundImage");
    return QStringLiteral("inputImage");
}

void setImageInputs(Filter &filter, const Image &current)
{
    if (current.isNull())
        return;
    const QVariantMap attrs = filter.attributes();
    for (const QString &key : filter.inputKeys())
        if (isImageInput(attrs, key))
            filter.setValue(QVariant::fromValue(current), key);
}

void setAutomaticDefaults(Filter &filter, const Rect &view, const DefaultImages &images)
{
    const QString name = filter.name();
    if (name == QLatin1String("CIGlassDistortion")) {
        setImage(filter, "inputTexture", images.texture);
    } else if (name == QLatin1String("CIRippleTransition")) {
        setImage(filter, "inputShadingImage", images.alphaMap);
    } else if (name == QLatin1String("CIPageCurlTransition")) {
        setImage(filter, "inputShadingImage", images.alphaMap);
        filter.setValue(double(-0.7853982f), QStringLiteral("inputAngle"));
    } else if (name == QLatin1String("CIShadedMaterial")) {
        setImage(filter, "inputShadingImage", images.shadingMap);
    } else if (name == QLatin1String("CIColorMap")) {
        setImage(filter, "inputGradientImage", images.ramp);
    } else if (name == QLatin1String("CIDisintegrateWithMaskTransition")) {
        setImage(filter, "inputMaskImage", images.mask);
    } else if (name == QLatin1String("CICircularWrap")) {
        const float cx = float(view.x() + view.width() * 0.5);
        const float cy = float(view.y() + view.height() * 0.5);
        filter.setValue(QVariant::fromValue(Vector{cx, cy}), QStringLiteral("inputCenter"));
    } else if (name == QLatin1String("CIGaussianGradient") || name == QLatin1String("CILinearGradient")
               || name == QLatin1String("CIRadialGradient") || name == QLatin1String("CIStripesGenerator")
               || name == QLatin1String("CICheckerboardGenerator")) {
        filter.setValue(QVariant::fromValue(Color(1, 1, 1, 0.5)), QStringLiteral("inputColor0"));
        filter.setValue(QVariant::fromValue(Color(0, 0, 0, 0.5)), QStringLiteral("inputColor1"));
    } else if (name == QLatin1String("CIConstantColorGenerator")) {
        filter.setValue(QVariant::fromValue(Color(1, 0.5, 0, 0.5)), QStringLiteral("inputColor"));
    }
}

void prepare(Filter &filter, const Image &current, const Rect &view, const DefaultImages &images)
{
    filter.setDefaults();
    setImageInputs(filter, current);
    setAutomaticDefaults(filter, view, images);
}

bool hasMissingImage(const Filter &filter)
{
    const QVariantMap attrs = filter.attributes();
    const QString carrier = currentImageKey(filter);
    for (const QString &key : filter.inputKeys())
        if (key != carrier && isImageInput(attrs, key) && filter.value(key).value<Image>().isNull())
            return true;
    return false;
}

Image result(Filter &filter, const Image &current, const Rect &view)
{
    const QVariantMap attrs = filter.attributes();
    const QStringList keys = filter.inputKeys();
    const bool hasExtent = keys.contains(QStringLiteral("inputExtent"))
        && attrs.value(QStringLiteral("inputExtent")).toMap().value(kCIAttributeClass).toString() == QLatin1String("CIVector");

    // A filter without "inputImage" is a generator: its output is laid over the current image.
    Image underlay;
    if (!current.isNull()) {
        if (!keys.contains(QStringLiteral("inputImage")))
            underlay = current;
        else
            filter.setValue(QVariant::fromValue(current), currentImageKey(filter));
    }
    if (hasExtent)
        filter.setValue(QVariant::fromValue(Vector{0, 0, view.width(), view.height()}), QStringLiteral("inputExtent"));

    Image out = filter.outputImage();
    if (!out.isNull() && !current.isNull()) {
        // Unbounded or much larger outputs (generators, tiles) are cut to the picture.
        const Rect picture = current.extent();
        const Rect extent = out.extent();
        const bool wider = extent.isInfinite() || extent.width() > 1.3 * picture.width();
        const bool taller = extent.isInfinite() || extent.height() > 1.3 * picture.height();
        if (wider && taller && !picture.isEmpty())
            out = out.cropped(picture);
    }
    if (underlay.isNull())
        return out;
    return out.isNull() ? underlay : sourceOver(out, underlay);
}

Image sourceOver(const Image &top, const Image &under)
{
    auto over = Filter::filterWithName(QStringLiteral("CISourceOverCompositing"));
    if (!over)
        return top;
    over->setValue(QVariant::fromValue(under), QStringLiteral("inputBackgroundImage"));
    over->setValue(QVariant::fromValue(top), QStringLiteral("inputImage"));
    return over->outputImage();
}

} // namespace imaging::standardcomposition
