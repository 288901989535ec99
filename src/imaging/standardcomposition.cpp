#include "imaging/standardcomposition.h"

#include <cmath>

#include "imaging/blurs.h"
#include "imaging/kernels.h"

namespace imaging::standardcomposition {

namespace {
bool isImageInput(const QVariantMap &attrs, const QString &key)
{
    return attrs.value(key).toMap().value(kCIAttributeClass).toString() == QLatin1String("CIImage");
}

Image filtered(const QString &name, std::initializer_list<std::pair<QString, QVariant>> values)
{
    auto f = Filter::filterWithName(name);
    if (!f) return Image();
    for (const auto &[k, v] : values) f->setValue(v, k);
    return f->outputImage();
}

// A lit sphere on black: the light from the upper left, with a highlight of the given
// sharpness (a higher exponent gives a smaller shine).
Image sphere(double shininess)
{
    constexpr double size = 256, r = 127;
    return kernels::generator(Rect(0, 0, size, size), [shininess](double x, double y, float *o) {
        const double nx = (x - 128) / r, ny = (y - 128) / r, d2 = nx * nx + ny * ny;
        if (d2 >= 1) {
            o[0] = o[1] = o[2] = 0; o[3] = 1;
            return;
        }
        const double nz = std::sqrt(1 - d2);
        const double lx = -0.4, ly = 0.5, lz = 0.77;
        const double diffuse = std::max(0.0, nx * lx + ny * ly + nz * lz);
        const double specular = std::pow(std::max(0.0, 2 * nz * (nx * lx + ny * ly + nz * lz) - lz), shininess);
        const float v = static_cast<float>(std::min(1.0, 0.15 + 0.7 * diffuse + specular));
        o[0] = v; o[1] = v; o[2] = v; o[3] = 1;
    });
}
} // namespace

QString currentImageKey(const Filter &filter)
{
    const QVariantMap attrs = filter.attributes();
    if (filter.inputKeys().contains(QStringLiteral("inputBackgroundImage")) && isImageInput(attrs, QStringLiteral("inputBackgroundImage")))
        return QStringLiteral("inputBackgroundImage");
    return QStringLiteral("inputImage");
}

Image defaultTexture()
{
    const Image noise = filtered(QStringLiteral("CIRandomGenerator"), {});
    return blurs::gaussian(noise.cropped(Rect(-16, -16, 288, 288)), 3.0).cropped(Rect(0, 0, 256, 256));
}

Image defaultShadingMap() { return sphere(12); }
Image defaultAlphaMap() { return sphere(60); }

Image defaultRamp()
{
    return filtered(QStringLiteral("CILinearGradient"),
                    {{QStringLiteral("inputPoint0"), QVariant::fromValue(Vector{0, 0})},
                     {QStringLiteral("inputPoint1"), QVariant::fromValue(Vector{256, 0})},
                     {QStringLiteral("inputColor0"), QVariant::fromValue(Color(0.05, 0.05, 0.3))},
                     {QStringLiteral("inputColor1"), QVariant::fromValue(Color(1, 0.85, 0.4))}})
        .cropped(Rect(0, 0, 256, 16));
}

Image defaultMask(const Rect &extent)
{
    const Rect e = extent.isEmpty() || extent.isInfinite() ? Rect(0, 0, 256, 256) : extent;
    const Image noise = filtered(QStringLiteral("CIRandomGenerator"), {});
    const double sigma = std::max(4.0, std::min(e.width(), e.height()) / 40.0);
    return blurs::gaussian(noise.cropped(e.adjusted(3 * sigma)), sigma).cropped(e);
}

void prepare(Filter &filter, const Image &current, const Rect &view)
{
    filter.setDefaults();
    const QVariantMap attrs = filter.attributes();
    for (const QString &key : filter.inputKeys())
        if (isImageInput(attrs, key)) filter.setValue(QVariant::fromValue(current), key);

    const QString name = filter.name();
    auto set = [&](const QString &key, const QVariant &v) { filter.setValue(v, key); };
    if (name == QLatin1String("CIGlassDistortion")) {
        set(QStringLiteral("inputTexture"), QVariant::fromValue(defaultTexture()));
    } else if (name == QLatin1String("CIRippleTransition")) {
        set(QStringLiteral("inputShadingImage"), QVariant::fromValue(defaultAlphaMap()));
    } else if (name == QLatin1String("CIPageCurlTransition")) {
        set(QStringLiteral("inputShadingImage"), QVariant::fromValue(defaultAlphaMap()));
        set(QStringLiteral("inputAngle"), static_cast<double>(static_cast<float>(-M_PI / 4)));
    } else if (name == QLatin1String("CIShadedMaterial")) {
        set(QStringLiteral("inputShadingImage"), QVariant::fromValue(defaultShadingMap()));
    } else if (name == QLatin1String("CIColorMap")) {
        set(QStringLiteral("inputGradientImage"), QVariant::fromValue(defaultRamp()));
    } else if (name == QLatin1String("CIDisintegrateWithMaskTransition")) {
        set(QStringLiteral("inputMaskImage"), QVariant::fromValue(defaultMask(current.extent())));
    } else if (name == QLatin1String("CICircularWrap")) {
        set(QStringLiteral("inputCenter"), QVariant::fromValue(Vector{static_cast<float>(view.x() + view.width() * 0.5),
                                                                      static_cast<float>(view.y() + view.height() * 0.5)}));
    } else if (name == QLatin1String("CIGaussianGradient") || name == QLatin1String("CILinearGradient") ||
               name == QLatin1String("CIRadialGradient") || name == QLatin1String("CIStripesGenerator") ||
               name == QLatin1String("CICheckerboardGenerator")) {
        set(QStringLiteral("inputColor0"), QVariant::fromValue(Color(1, 1, 1, 0.5)));
        set(QStringLiteral("inputColor1"), QVariant::fromValue(Color(0, 0, 0, 0.5)));
    } else if (name == QLatin1String("CIConstantColorGenerator")) {
        set(QStringLiteral("inputColor"), QVariant::fromValue(Color(1, 0.5, 0, 0.5)));
    }
}

Image result(Filter &filter, const Image &current, const Rect &view)
{
    const QVariantMap attrs = filter.attributes();
    const QStringList keys = filter.inputKeys();
    bool hasExtent = false;
    for (const QString &k : keys)
        if (k == QLatin1String("inputExtent") && attrs.value(k).toMap().value(kCIAttributeClass).toString() == QLatin1String("CIVector"))
            hasExtent = true;
    const bool hasInputImage = keys.contains(QStringLiteral("inputImage"));
    Image underlay;
    if (!current.isNull()) {
        if (!hasInputImage) underlay = current;
        else filter.setValue(QVariant::fromValue(current), currentImageKey(filter));
    }
    if (hasExtent)
        filter.setValue(QVariant::fromValue(Vector{0, 0, view.width(), view.height()}), QStringLiteral("inputExtent"));
    Image out = filter.outputImage();
    const Rect ie = current.extent();
    if (!out.isNull() && out.extent().width() > 1.3 * ie.width() && out.extent().height() > 1.3 * ie.height())
        out = out.cropped(ie);
    if (underlay.isNull()) return out;
    if (out.isNull()) return underlay;
    auto over = Filter::filterWithName(QStringLiteral("CISourceOverCompositing"));
    over->setValue(QVariant::fromValue(underlay), QStringLiteral("inputBackgroundImage"));
    over->setValue(QVariant::fromValue(out), QStringLiteral("inputImage"));
    return over->outputImage();
}

} // namespace imaging::standardcomposition
