#include "views/customeffimageview.h"

#include "imaging/qimageadapter.h"
#include "platform/notificationcenter.h"
#include "views/canvascontroller.h"
#include "views/drophighlight.h"
#include "views/myimageview.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollArea>
#include <QUrl>

customEffImageView::customEffImageView(QWidget *parent)
    : ZoomableImageView(parent)
    , cursorImg(QStringLiteral(":/images/16x16c.tif"))
{
    NotificationCenter::defaultCenter().observe(this, QStringLiteral("UpdateCustomView"), [this] { update(); });
    if (cursorImg.isNull())
        qWarning("customEffImageView: the marker image 16x16c.tif is missing");
    setAcceptDrops(true);
}

imaging::Image customEffImageView::pictureForDisplay()
{
    return controller() ? controller()->backImage() : imaging::Image();
}

void customEffImageView::paintEvent(QPaintEvent *event)
{
    CanvasController *c = controller();
    const QSizeF size = imageSize();
    if (c && c->hasCustomEffect() && !size.isEmpty() && !bounds().isEmpty()) {
        QPainter painter(this);
        const QRect dirty = event->rect();
        painter.fillRect(dirty, palette().color(QPalette::Dark));
        // Compose only the part of the picture under the dirty rectangle.
        const QPointF tl = mapToImage(dirty.topLeft());
        const QPointF br = mapToImage(QPointF(dirty.x() + dirty.width(), dirty.y() + dirty.height()));
        const QRectF region = QRectF(QPointF(tl.x(), br.y()), QPointF(br.x(), tl.y()))
                                  .intersected(QRectF(QPointF(0, 0), size));
        bool drawn = region.isEmpty();
        if (!region.isEmpty()) {
            // The effect's pictures have their top row first.
            const QRectF source(region.x(), size.height() - region.bottom(), region.width(), region.height());
            const QPointF a = mapToView(QPointF(region.left(), region.bottom()));
            const QRectF target(a, QSizeF(region.width() * zoom, region.height() * zoom));
            drawn = c->drawCustomEffect(painter, target, source);
        }
        if (drawn) {
            painter.translate(-bounds().x() * zoom, bounds().maxY() * zoom);
            painter.scale(zoom, -zoom);
            drawOverlay(painter);
            return;
        }
    }
    // No effect, or nothing from it: the plain image.
    ZoomableImageView::paintEvent(event);
}

void customEffImageView::drawOverlay(QPainter &painter)
{
    if (!drawCursor || cursorImg.isNull() || !controller() || !controller()->hasCustomEffect())
        return;
    // The marker keeps its screen size at any zoom and is centred on the anchor.
    const QPointF anchor = controller()->customEffectStartPoint();
    painter.save();
    painter.translate(anchor);
    painter.scale(1.0 / zoom, -1.0 / zoom);
    painter.drawImage(QPointF(-cursorImg.width() / 2.0, -cursorImg.height() / 2.0), cursorImg);
    painter.restore();
}

void customEffImageView::enterEvent(QEnterEvent *)
{
    if (controller() && controller()->customEffectIsMousing()) {
        setCursor(Qt::PointingHandCursor);
        drawCursor = true;
        update();
    }
}

void customEffImageView::leaveEvent(QEvent *)
{
    unsetCursor();
    drawCursor = false;
    update();
}

void customEffImageView::mousePressEvent(QMouseEvent *event)
{
    // The right button opens the context menu (contextMenuEvent); other buttons do nothing.
    if (event->button() != Qt::LeftButton || !controller() || !controller()->hasCustomEffect())
        return;
    drawCursor = controller()->customEffectIsMousing();
    controller()->customEffectMouse(0, mapToImage(event->position()));
}

void customEffImageView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !controller() || !controller()->hasCustomEffect())
        return;
    controller()->customEffectMouse(1, mapToImage(event->position()));
    update();
}

void customEffImageView::mouseReleaseEvent(QMouseEvent *event)
{
    if ((event->button() != Qt::LeftButton && event->button() != Qt::MiddleButton) || !controller()
        || !controller()->hasCustomEffect())
        return;
    controller()->customEffectMouse(2, mapToImage(event->position()));
}

bool customEffImageView::performDragOperation(const QMimeData *data)
{
    ZoomableImageView::performDragOperation(data);
    // The custom canvas lays itself out for the new picture at once.
    resizeViewBound(true, 3);
    return true;
}
