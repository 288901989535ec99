#include "imaging/standardcomposition.h"

#include "imaging/filterdescription.h"

namespace imaging::standardcomposition {

namespace {

bool isImageInput(const Filter &filter, const QString &key)
{
    const InputDescription *in = filter.description().input(key);
    return in && in->isImage();
}

// Each input that names a default image gets it, when the caller can supply it.
void setDefaultImages(Filter &filter, const DefaultImages &images)
{
    for (const InputDescription &in : filter.description().inputs) {
        const std::function<Image()> &source = images.source(in.defaultImage);
        if (!source)
            continue;
        const Image image = source();
        if (!image.isNull())
            filter.setValue(QVariant::fromValue(image), in.key);
    }
}

} // namespace

const std::function<Image()> &DefaultImages::source(DefaultImage which) const
{
    static const std::function<Image()> none;
    switch (which) {
    case DefaultImage::Texture: return texture;
    case DefaultImage::ShadingMap: return shadingMap;
    case DefaultImage::AlphaMap: return alphaMap;
    case DefaultImage::Ramp: return ramp;
    case DefaultImage::Mask: return mask;
    case DefaultImage::None: break;
    }
    return none;
}

QString currentImageKey(const Filter &filter)
{
    if (isImageInput(filter, QStringLiteral("inputBackgroundImage")))
        return QStringLiteral("inputBackgroundImage");
    return QStringLiteral("inputImage");
}

void setImageInputs(Filter &filter, const Image &current)
{
    if (current.isNull())
        return;
    for (const InputDescription &in : filter.description().inputs)
        if (in.isImage())
            filter.setValue(QVariant::fromValue(current), in.key);
}

void setAutomaticDefaults(Filter &filter, const Rect &view, const DefaultImages &images)
{
    setDefaultImages(filter, images);
    const QString name = filter.name();
    if (name == QLatin1String("CIPageCurlTransition")) {
        filter.setValue(double(-0.7853982f), QStringLiteral("inputAngle"));
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
    const QString carrier = currentImageKey(filter);
    for (const InputDescription &in : filter.description().inputs)
        if (in.key != carrier && in.isImage() && filter.value(in.key).value<Image>().isNull())
            return true;
    return false;
}

Image result(Filter &filter, const Image &current, const Rect &view)
{
    const InputDescription *extentInput = filter.description().input(QStringLiteral("inputExtent"));
    const bool hasExtent = extentInput && extentInput->inputClass() == InputClass::Vector;

    // A filter without "inputImage" is a generator: its output is laid over the current image.
    Image underlay;
    if (!current.isNull()) {
        if (!filter.description().input(QStringLiteral("inputImage")))
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
