// The standard mode's picture (the current filter over the current image) and the installation of a
// new current image.
#include "app/controller.h"
#include "app/resizepanel.h" // Resize panel

#include "effects/baseeffect.h"
#include "views/customeffimageview.h"
#include "views/myimageview.h"

#include <QApplication>
#include <QLayout>
#include <QScrollArea>
#include <QStyle>
#include <QWidget>

#include <cmath>

namespace {

QVariantMap inputAttributes(const imaging::Filter &filter, const QString &key)
{
    return filter.attributes().value(key).toMap();
}

bool isImageInput(const imaging::Filter &filter, const QString &key)
{
    return inputAttributes(filter, key).value("CIAttributeClass").toString() == QLatin1String("CIImage");
}

// The image input that carries the current image: "inputBackgroundImage" for filters that have one
// (blend and compositing filters), otherwise "inputImage".
QString currentImageInput(const imaging::Filter &filter)
{
    const QStringList keys = filter.inputKeys();
    if (keys.contains(QStringLiteral("inputBackgroundImage")) && isImageInput(filter, QStringLiteral("inputBackgroundImage")))
        return QStringLiteral("inputBackgroundImage");
    return QStringLiteral("inputImage");
}

imaging::Image sourceOver(const imaging::Image &top, const imaging::Image &under)
{
    auto over = imaging::Filter::filterWithName(QStringLiteral("CISourceOverCompositing"));
    if (!over)
        return top;
    over->setValue(QVariant::fromValue(under), QStringLiteral("inputBackgroundImage"));
    over->setValue(QVariant::fromValue(top), QStringLiteral("inputImage"));
    return over->outputImage();
}

} // namespace

bool Controller::filterHasMissingImage(const imaging::Filter &filter) const
{
    const QString carrier = currentImageInput(filter);
    for (const QString &key : filter.inputKeys()) {
        if (key == carrier || !isImageInput(filter, key))
            continue;
        if (filter.value(key).value<imaging::Image>().isNull())
            return true;
    }
    return false;
}

bool Controller::hasMissingImage() const
{
    return currentFilter && filterHasMissingImage(*currentFilter);
}

imaging::Image Controller::coreImageResultForRect(const imaging::Rect &rect)
{
    imaging::Image image = backgroundImage;
    if (!currentFilter)
        return image;
    imaging::Filter &filter = *currentFilter;

    const QStringList keys = filter.inputKeys();
    const bool hasExtent = keys.contains(QStringLiteral("inputExtent"))
        && inputAttributes(filter, QStringLiteral("inputExtent")).value("CIAttributeClass").toString() == QLatin1String("CIVector");
    const bool hasImage = keys.contains(QStringLiteral("inputImage"));
    const bool hasBackground = keys.contains(QStringLiteral("inputBackgroundImage"));

    // A filter without an image input is a generator: its output is laid over the current image.
    imaging::Image underlay;
    if (!image.isNull()) {
        if (!hasImage)
            underlay = image;
        else
            filter.setValue(QVariant::fromValue(image),
                            hasBackground ? QStringLiteral("inputBackgroundImage") : QStringLiteral("inputImage"));
    }
    if (hasExtent)
        filter.setValue(QVariant::fromValue(imaging::Vector{0, 0, rect.width(), rect.height()}), QStringLiteral("inputExtent"));

    imaging::Image output = filter.outputImage();
    if (!output.isNull()) {
        // Unbounded or much larger outputs (generators, tiles) are cut to the picture.
        const imaging::Rect picture = image.isNull() ? imaging::Rect() : image.extent();
        const imaging::Rect out = output.extent();
        const bool wider = out.isInfinite() || out.width() > 1.3 * picture.width();
        const bool taller = out.isInfinite() || out.height() > 1.3 * picture.height();
        if (wider && taller && !picture.isEmpty())
            output = output.cropped(picture);
    }
    if (underlay.isNull())
        return output;
    return output.isNull() ? underlay : sourceOver(output, underlay);
}

imaging::Image Controller::coreImageResult(bool overBlack)
{
    if (hasMissingImage())
        return imaging::Image();
    const imaging::Rect bounds = ciView ? ciView->bounds() : imaging::Rect();
    const imaging::Image result = coreImageResultForRect(bounds);
    if (!overBlack)
        return result;
    auto black = imaging::Filter::filterWithName(QStringLiteral("CIConstantColorGenerator"));
    if (!black)
        return result;
    black->setValue(QVariant::fromValue(imaging::Color(0, 0, 0, 1)), QStringLiteral("inputColor"));
    const imaging::Image backdrop = black->outputImage();
    return result.isNull() ? backdrop : sourceOver(result, backdrop);
}

imaging::Rect Controller::getBgImageExtent() const
{
    return backgroundImage.isNull() ? imaging::Rect() : backgroundImage.extent();
}

void Controller::setBackgroundImage(const imaging::Image &image)
{
    backgroundImage = image;
    fitZoomToWindow();

    if (currentCustomEffect)
        currentCustomEffect->reloadImage();
    if (current3DEffect)
        current3DEffect->reloadImage();
    updateView();

    // Resize panel: it shows the size of the image just installed (none for an unbounded one).
    const imaging::Rect extent = getBgImageExtent();
    const bool bounded = !extent.isEmpty() && !extent.isInfinite();
    ResizePanel::setSharedWH(bounded ? float(extent.width()) : 0.0f, bounded ? float(extent.height()) : 0.0f);
}

void Controller::fitZoomToWindow()
{
    const imaging::Rect extent = getBgImageExtent();
    const double w = extent.isInfinite() ? 0 : extent.width();
    const double h = extent.isInfinite() ? 0 : extent.height();

    // Fit the picture into the visible area less one scroller width each way, enlarging small
    // pictures as well as shrinking large ones.
    float zoom = 1.0f;
    QScrollArea *area = ciView ? qobject_cast<QScrollArea *>(ciView->parentWidget() ? ciView->parentWidget()->parentWidget() : nullptr) : nullptr;
    if (area && w > 0 && h > 0) {
        const double b = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        const double zx = w / (area->width() - b);
        const double zy = h / (area->height() - b);
        const double z = std::isnan(zx) ? zy : std::max(zx, zy);
        if (z > 0 && std::isfinite(z))
            zoom = float(1.0 / z);
    }
    setZoom(zoom);
    if (ciView)
        ciView->setZoom(zoom);
    if (customEffectsView)
        customEffectsView->setZoom(zoom);
}

void Controller::clearControls()
{
    if (!placeCntrlView)
        return;
    // Remove the control box (and anything else the panel holds).
    const auto children = placeCntrlView->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *child : children)
        delete child;
}
