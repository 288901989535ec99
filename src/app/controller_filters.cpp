// The standard mode's picture (the current filter over the current image) and the installation of a
// new current image.
#include "app/controller.h"
#include "app/resizepanel.h" // Resize panel

#include "effects/baseeffect.h"
#include "imaging/standardcomposition.h"
#include "views/customeffimageview.h"
#include "views/myimageview.h"

#include <QApplication>
#include <QLayout>
#include <QScrollArea>
#include <QStyle>
#include <QWidget>

#include <cmath>

bool Controller::filterHasMissingImage(const imaging::Filter &filter) const
{
    return imaging::standardcomposition::hasMissingImage(filter);
}

bool Controller::hasMissingImage() const
{
    return currentFilter && filterHasMissingImage(*currentFilter);
}

imaging::Image Controller::coreImageResultForRect(const imaging::Rect &rect)
{
    if (!currentFilter)
        return backgroundImage;
    return imaging::standardcomposition::result(*currentFilter, backgroundImage, rect);
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
    return result.isNull() ? backdrop : imaging::standardcomposition::sourceOver(result, backdrop);
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
