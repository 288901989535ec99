#include "views/zoomableimageview.h"

#include "imaging/qimageadapter.h"
#include "platform/imagefiles.h"
#include "views/canvascontroller.h"
#include "views/drophighlight.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QDragEnterEvent>
#include <QUrl>
#include <QMimeData>
#include <QFileInfo>
#include <QMenu>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

ZoomableImageView::ZoomableImageView(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    m_renderer = new PreviewRenderer(this);
    connect(m_renderer, &PreviewRenderer::finished, this, &ZoomableImageView::takeRender);
}

void ZoomableImageView::pictureChanged()
{
    ++m_revision;
    m_pictureFetched = false;
    update();
}

void ZoomableImageView::refreshPicture()
{
    // A new current image (opened, pasted, applied, undone) makes the recipe out of date whoever
    // installed it; other changes come through pictureChanged().
    const imaging::Image source = m_controller ? m_controller->backImage() : imaging::Image();
    if (m_pictureFetched && source == m_pictureSource)
        return;
    if (m_pictureFetched) {
        ++m_revision;
        // Another picture size: the last render would be drawn in the wrong place.
        if (source.isNull() || !(source.extent() == m_pictureSource.extent()))
            m_shown = {};
    }
    m_pictureSource = source;
    m_picture = pictureForDisplay();
    m_pictureFetched = true;
    if (m_picture.isNull())
        m_shown = {};
}

imaging::Rect ZoomableImageView::visibleImageRect() const
{
    QRect visible = rect();
    if (QScrollArea *area = scrollArea()) {
        const QSize vp = area->viewport()->size();
        visible &= QRect(QPoint(area->horizontalScrollBar()->value(), area->verticalScrollBar()->value()), vp);
    }
    if (visible.isEmpty())
        return {};
    const QPointF tl = mapToImage(visible.topLeft());
    const QPointF br = mapToImage(QPointF(visible.x() + visible.width(), visible.y() + visible.height()));
    return imaging::Rect::fromEdges(tl.x(), br.y(), br.x(), tl.y());
}

bool ZoomableImageView::isPictureCurrent() const
{
    if (!m_pictureFetched)
        return false;
    if (m_picture.isNull() || m_bounds.isEmpty())
        return true;
    const imaging::Rect wanted = visibleImageRect().intersected(m_picture.extent());
    return wanted.isEmpty()
        || (m_shown.revision == m_revision && !m_shown.coarse && m_shown.scale == double(zoom)
            && m_shown.region.contains(wanted));
}

void ZoomableImageView::takeRender(const PreviewRenderer::Result &result)
{
    // A render of an older revision shows a picture that is no longer true: dropped.
    if (result.revision != m_revision || result.pixels.isNull())
        return;
    // A coarse pass never replaces a finished render of the same revision.
    if (result.coarse && m_shown.revision == m_revision && !m_shown.coarse)
        return;
    m_shown = result;
    emit pictureShown(result.revision, result.coarse);
    update();
}

bool ZoomableImageView::drawPicture(QPainter &painter)
{
    if (m_shown.pixels.isNull())
        return false;
    // The render's bottom-left pixel corner is the region's bottom-left corner; drawn at the current
    // zoom, which may differ from the one it was rendered at.
    const double f = double(zoom) / m_shown.scale;
    const QSizeF size(m_shown.pixels.width() * f, m_shown.pixels.height() * f);
    const QPointF bottomLeft = mapToView(QPointF(m_shown.region.x(), m_shown.region.y()));
    const QRectF target(bottomLeft.x(), bottomLeft.y() - size.height(), size.width(), size.height());
    if (size == QSizeF(m_shown.pixels.size()) && target.topLeft() == target.topLeft().toPoint()) {
        painter.drawImage(target.topLeft(), m_shown.pixels);
    } else {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, m_shown.pixels);
        painter.restore();
    }
    return true;
}

QScrollArea *ZoomableImageView::scrollArea() const
{
    // The canvas sits in the scroll area's viewport: canvas -> viewport -> scroll area.
    QWidget *viewport = parentWidget();
    return viewport ? qobject_cast<QScrollArea *>(viewport->parentWidget()) : nullptr;
}

QSizeF ZoomableImageView::imageSize() const
{
    if (!m_controller)
        return {};
    const imaging::Image image = m_controller->backImage();
    if (image.isNull() || image.extent().isInfinite())
        return {};
    return {image.extent().width(), image.extent().height()};
}

void ZoomableImageView::setZoom(float z)
{
    prev_zoom = zoom;
    zoom = std::clamp(z, minZoom, maxZoom);
    resizeViewBound(true, 3);
}

float ZoomableImageView::wheelZoom(float z, float delta)
{
    // Upwards the step grows with the zoom above 1; downwards above 1.1, so that one step down from
    // just above 1 cannot fall below 1 by a proportional amount.
    if (delta > 0)
        z += z > 1.0f ? 0.2f * z : 0.05f;
    else if (delta < 0)
        z -= z > 1.1f ? 0.2f * z : 0.05f;
    return std::clamp(z, minZoom, maxZoom);
}

QRectF ZoomableImageView::visibleRectInView() const
{
    // The visible part of the canvas in view units with the origin at the bottom left.
    QScrollArea *area = scrollArea();
    if (!area)
        return QRectF(0, 0, width(), height());
    const QSize vp = area->viewport()->size();
    const double vx = area->horizontalScrollBar()->value();
    const double vyTop = area->verticalScrollBar()->value();
    const double vy = std::max(0.0, height() - vyTop - vp.height());
    return QRectF(vx, vy, vp.width(), vp.height());
}

void ZoomableImageView::resizeViewBound(bool force, int mode)
{
    const double Z = zoom, P = prev_zoom;
    const QRectF V = visibleRectInView();
    const QSizeF I = imageSize();

    viewTransformOffsetX = viewTransformOffsetY = 0;

    // Margins that centre an image smaller than the visible area.
    const double mx = std::max(0.0, (V.width() - I.width() * Z) / (2 * Z));
    const double my = std::max(0.0, (V.height() - I.height() * Z) / (2 * Z));
    const imaging::Rect U = imaging::Rect(-mx, -my, I.width() + 2 * mx, I.height() + 2 * my)
                                .united(imaging::Rect(-mx, -my, V.width() / Z, V.height() / Z));

    // The point to keep in the middle: the middle of the visible area in image units at the old zoom.
    double cx = (V.x() + V.width() / 2) / P;
    double cy = (V.y() + V.height() / 2) / P;
    const QPoint cursor = mapFromGlobal(QCursor::pos());
    const bool pointerInside = scrollArea() && scrollArea()->viewport()->rect().contains(
                                   scrollArea()->viewport()->mapFromGlobal(QCursor::pos()));
    if (mode == 2 || (mode == 3 && pointerInside)) {
        const QPointF m = mapToImage(cursor);
        if (mode == 2) {
            cx = m.x();
            cy = m.y();
        } else {
            // Zooming pulls the kept point towards the pointer, so that what is under it stays there.
            cx -= (cx - m.x()) * (Z - P);
            cy -= (cy - m.y()) * (Z - P);
        }
    }
    if (U.x() < 0) cx += U.x();
    if (U.y() < 0) cy += U.y();

    if (!(m_bounds == U) || force || Z != P) {
        const imaging::Rect old = m_bounds;
        m_bounds = U;
        // Some pictures are cut to the canvas's bounds (generators): their recipe is out of date.
        if (!(old == U))
            pictureChanged();
        resize(std::max(1, int(std::lround(U.width() * Z))), std::max(1, int(std::lround(U.height() * Z))));
        if (mode != 0 && Z != P)
            scrollToImagePoint(cx - V.width() * 0.5 / Z, cy - V.height() * 0.5 / Z);
        else if (old.x() > U.x() || old.y() > U.y())
            scrollToImagePoint(U.x() + V.x() / Z, U.y() + V.y() / Z);
    }

    viewTransformOffsetX = float(-U.x());
    viewTransformOffsetY = float(-U.y());
    update();
}

void ZoomableImageView::scrollToImagePoint(double x, double y)
{
    QScrollArea *area = scrollArea();
    if (!area)
        return;
    // (x, y) becomes the bottom-left corner of the visible area.
    const double frameX = (x - m_bounds.x()) * zoom;
    const double frameYFromBottom = (y - m_bounds.y()) * zoom;
    const double top = height() - frameYFromBottom - area->viewport()->height();
    area->horizontalScrollBar()->setValue(int(std::lround(frameX)));
    area->verticalScrollBar()->setValue(int(std::lround(top)));
}

QPointF ZoomableImageView::mapToImage(const QPointF &p) const
{
    return {m_bounds.x() + p.x() / zoom, m_bounds.maxY() - p.y() / zoom};
}

QPointF ZoomableImageView::mapToView(const QPointF &p) const
{
    return {(p.x() - m_bounds.x()) * zoom, (m_bounds.maxY() - p.y()) * zoom};
}

void ZoomableImageView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Dark));

    refreshPicture();
    if (!m_picture.isNull() && !m_bounds.isEmpty()) {
        // Only the visible part of the picture, at display resolution, rendered off this thread.
        const imaging::Rect wanted = visibleImageRect().intersected(m_picture.extent());
        const bool asked = m_requested.revision == m_revision && m_requested.scale == double(zoom)
            && m_requested.region.contains(wanted);
        if (!wanted.isEmpty() && !asked) {
            m_requested = {m_picture, wanted, double(zoom), m_revision};
            m_renderer->request(m_requested);
        }
        drawPicture(painter);
    }

    painter.translate(-m_bounds.x() * zoom, m_bounds.maxY() * zoom);
    painter.scale(zoom, -zoom);
    drawOverlay(painter);
}

void ZoomableImageView::wheelEvent(QWheelEvent *event)
{
    const float d = float(event->angleDelta().x() + event->angleDelta().y());
    if (d == 0) {
        event->ignore();
        return;
    }
    prev_zoom = zoom;
    zoom = wheelZoom(zoom, d);
    resizeViewBound(true, 3);
    if (m_controller)
        m_controller->setZoom(zoom);
    event->accept();
}

bool ZoomableImageView::event(QEvent *event)
{
    if (event->type() == QEvent::NativeGesture) {
        auto *gesture = static_cast<QNativeGestureEvent *>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture && m_controller) {
            m_controller->updateZoommWithDelta(float(gesture->value()));
            return true;
        }
    }
    return QWidget::event(event);
}

void ZoomableImageView::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_controller && m_controller->contextMenu())
        m_controller->contextMenu()->popup(event->globalPos());
}

// ---- dropping a file ----

bool ZoomableImageView::acceptsDrop(const QMimeData *data, Qt::DropActions actions)
{
    if (!data || !data->hasUrls() || !(actions & (Qt::CopyAction | Qt::MoveAction | Qt::LinkAction)))
        return false;
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return false;
    // Any type the program reads, whatever the letter case of the extension (IMG_0001.JPG). PDF
    // files are written but not read back.
    const QString extension = QFileInfo(urls.first().toLocalFile()).suffix().toLower();
    if (extension.isEmpty() || extension == QLatin1String("pdf"))
        return false;
    return ImageFiles::readablePatterns().contains(QStringLiteral("*.") + extension, Qt::CaseInsensitive);
}

void ZoomableImageView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!acceptsDrop(event->mimeData(), event->possibleActions())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (!dragEnter) {
        dragEnter = true;
        showDropHighlight();
    }
}

void ZoomableImageView::dragMoveEvent(QDragMoveEvent *event)
{
    if (acceptsDrop(event->mimeData(), event->possibleActions()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void ZoomableImageView::dragLeaveEvent(QDragLeaveEvent *)
{
    dragEnter = false;
    hideDropHighlight();
    update();
}

void ZoomableImageView::dropEvent(QDropEvent *event)
{
    event->acceptProposedAction();
    performDragOperation(event->mimeData());
}

bool ZoomableImageView::performDragOperation(const QMimeData *data)
{
    dragEnter = false;
    hideDropHighlight();
    // Picture data (rather than a file) is accepted and left alone.
    if (!data || data->hasFormat(QStringLiteral("image/tiff")) || !data->hasUrls() || !controller())
        return true;
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return true;
    // Opened once the drop has ended, so that an alert about an unreadable file does not hold up
    // the program the file was dragged from.
    const QString path = urls.first().toLocalFile();
    QMetaObject::invokeMethod(
        this, [this, path] { if (controller()) controller()->openDroppedFile(path); }, Qt::QueuedConnection);
    return true;
}

void ZoomableImageView::showDropHighlight()
{
    // The highlight outlines the view three levels above the scroll area, inset: 10 points in from
    // the left, 18 from the top, 25 from the right and 20 from the bottom.
    QWidget *area = scrollArea();
    QWidget *host = area;
    for (int i = 0; i < 3 && host && host->parentWidget(); ++i)
        host = host->parentWidget();
    if (!host || !host->parentWidget())
        return;
    QWidget *window = host->window();
    const QRect frame(host->mapTo(window, QPoint(0, 0)), host->size());
    if (!m_highlight)
        m_highlight = new DropHighlight(window);
    m_highlight->setGeometry(frame.x() + 10, frame.y() + 18, frame.width() - 35, frame.height() - 38);
    m_highlight->raise();
    m_highlight->show();
}

void ZoomableImageView::hideDropHighlight()
{
    if (m_highlight)
        m_highlight->deleteLater();
    m_highlight = nullptr;
}
