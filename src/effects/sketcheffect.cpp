#include "effects/sketcheffect.h"

#include "effects/sketchrenderer.h"

#include "imaging/filter.h"
#include "imaging/qimageadapter.h"

#include <QPainter>

void sketchEffect::awakeFromNib()
{
    setName(tr("Sketch Effect"));
    setTips(tr("Sketch Effect Generator"));
    setDefaults();
}

std::vector<DrawnSetting> sketchEffect::settings() const
{
    return {
        {.key = QStringLiteral("useBackImage"), .member = member(&sketchEffect::m_useBackImage), .defaultValue = false,
         .stored = false, .copied = false},
        {.key = QStringLiteral("startPT"), .member = member(&sketchEffect::m_startPT),
         .defaultValue = QPointF(unsetCoordinate, unsetCoordinate), .stored = false, .copied = false},
    };
}

void sketchEffect::makeImageEffect()
{
    m_effectImage = convertImage(m_image);
    m_effectImageSize = m_effectImage.isNull() ? QSizeF() : QSizeF(m_effectImage.size());
}

QImage sketchEffect::getDrawImage()
{
    if (!wasInit) {
        initEffect();
        wasInit = true;
    }
    return m_effectImage;
}

bool sketchEffect::drawComposition(QPainter &painter, const QRectF &target, const QRectF &source)
{
    if (!wasInit) {
        initEffect();
        wasInit = true;
    }
    if (m_effectImage.isNull())
        return false;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, target.width() < source.width());
    painter.drawImage(target, m_effectImage, source);
    painter.restore();
    return true;
}

namespace {

// The output recipe of one engine filter over `input`; null when the filter is missing.
imaging::Image outputOf(const QString &name, const imaging::Image &input, const QVariantMap &values)
{
    auto filter = imaging::Filter::filterWithName(name);
    if (!filter) {
        qWarning("sketchEffect: the filter %s is missing", qPrintable(name));
        return {};
    }
    filter->setValue(QVariant::fromValue(input), QStringLiteral("inputImage"));
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        filter->setValue(it.value(), it.key());
    return filter->outputImage();
}

// Runs one engine filter over `image` and renders `region` of its output.
QImage runFilter(const QString &name, const QImage &image, const QVariantMap &values, const imaging::Rect *region)
{
    imaging::Image out = outputOf(name, imaging::imageFromQImage(image), values);
    if (out.isNull())
        return {};
    if (region)
        out = out.cropped(*region);
    if (out.extent().isInfinite() || out.extent().isEmpty())
        return {};
    return imaging::qimageFromImage(out);
}

} // namespace

QImage sketchEffect::convertImage(const QImage &image)
{
    if (image.isNull())
        return {};
    // The grey copy, its inverse, the blur and the dodge in two passes over the pixels, on one grey
    // channel (the steps below make the same picture one filter at a time).
    const QImage result = SketchRenderer(image).render();
    if (result.isNull()) {
        qWarning("sketchEffect: the sketch could not be made; showing the image unchanged");
        return image;
    }
    return result;
}

QImage sketchEffect::grayspace(const QImage &image)
{
    // Grey with the alpha kept (premultiplied), as a bitmap the engine reads.
    QImage source = image.convertToFormat(QImage::Format_ARGB32);
    QImage grey(source.size(), QImage::Format_ARGB32_Premultiplied);
    if (source.isNull() || grey.isNull())
        return {};
    for (int y = 0; y < source.height(); ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(source.constScanLine(y));
        auto *out = reinterpret_cast<QRgb *>(grey.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const int a = qAlpha(in[x]);
            const int g = qGray(in[x]) * a / 255;
            out[x] = qRgba(g, g, g, a);
        }
    }
    return grey;
}


QImage sketchEffect::invert(const QImage &image)
{
    return runFilter(QStringLiteral("CIColorInvert"), image, {}, nullptr);
}

QImage sketchEffect::gaussian(const QImage &image)
{
    // The blur grows the extent; keep the input's size and place.
    const imaging::Rect inputRect(0, 0, image.width(), image.height());
    return runFilter(QStringLiteral("CIGaussianBlur"), image, {{QStringLiteral("inputRadius"), 10}}, &inputRect);
}

QImage sketchEffect::colorDodge(const QImage &image, const QImage &bgImage)
{
    return runFilter(QStringLiteral("CIColorDodgeBlendMode"), image,
                     {{QStringLiteral("inputBackgroundImage"), QVariant::fromValue(imaging::imageFromQImage(bgImage))}},
                     nullptr);
}
