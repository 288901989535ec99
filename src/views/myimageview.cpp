#include "views/myimageview.h"

#include "imaging/filterdescription.h"
#include "imaging/qimageadapter.h"
#include "views/canvascontroller.h"
#include "views/drophighlight.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QUrl>

#include <cmath>

namespace {

// The translation of a transform input, in either of its forms.
bool transformOrigin(const QVariant &value, QPointF &origin)
{
    if (value.metaType() == QMetaType::fromType<imaging::AffineTransform>()) {
        const imaging::AffineTransform t = value.value<imaging::AffineTransform>();
        origin = QPointF(t.tX, t.tY);
        return true;
    }
    if (value.metaType() == QMetaType::fromType<imaging::Vector>() && value.value<imaging::Vector>().count() >= 6) {
        const imaging::Vector v = value.value<imaging::Vector>();
        origin = QPointF(v.value(4), v.value(5));
        return true;
    }
    return false;
}

double squaredDistance(const QPointF &a, const QPointF &b)
{
    const double dx = a.x() - b.x(), dy = a.y() - b.y();
    return dx * dx + dy * dy;
}

} // namespace

MyImageView::MyImageView(QWidget *parent)
    : ZoomableImageView(parent)
{
    setAcceptDrops(true);
}

imaging::Image MyImageView::pictureForDisplay()
{
    return controller() ? controller()->coreImageResult(false) : imaging::Image();
}

QList<MyImageView::Handle> MyImageView::handlesOf(const imaging::Filter &filter)
{
    QList<Handle> out;
    const QString filterName = imaging::Filter::localizedNameForFilterName(filter.name());
    for (const imaging::InputDescription &in : filter.description().inputs) {
        if (!in.hasCanvasHandle())
            continue;
        const QString &key = in.key;
        const QString &type = in.attributeType;
        const QString label = QStringLiteral("%1 %2").arg(filterName, in.displayName);
        const QVariant value = filter.value(key);
        if (in.inputClass() == imaging::InputClass::Vector) {
            const imaging::Vector v = value.value<imaging::Vector>();
            if (type == imaging::kCIAttributeTypePosition)
                out.append({key, Position, QPointF(v.X(), v.Y()), label});
            else if (type == imaging::kCIAttributeTypePosition3)
                out.append({key, Position3, QPointF(v.X(), v.Y()), label});
            else if (type == imaging::kCIAttributeTypeRectangle) {
                const double x = v.X(), y = v.Y(), w = v.Z(), h = v.W();
                out.append({key, RectBottomLeft, QPointF(x, y), label + QStringLiteral(" bottom left")});
                out.append({key, RectBottomRight, QPointF(x + w, y), label + QStringLiteral(" bottom right")});
                out.append({key, RectTopLeft, QPointF(x, y + h), label + QStringLiteral(" top left")});
                out.append({key, RectTopRight, QPointF(x + w, y + h), label + QStringLiteral(" top right")});
            }
        } else {
            QPointF origin;
            if (transformOrigin(value, origin))
                out.append({key, TransformOrigin, origin, label + QStringLiteral(" origin")});
        }
    }
    return out;
}

MyImageView::Handle MyImageView::hitTest(const imaging::Filter &filter, const QPointF &p)
{
    // handlesOf lists a rectangle's corners bottom left, bottom right, top left, top right; the hit
    // test tries them top right, top left, bottom right, bottom left, which matters only on ties.
    QList<Handle> handles = handlesOf(filter);
    for (qsizetype i = 0; i + 3 < handles.size(); ++i) {
        if (handles[i].mode == RectBottomLeft && handles[i + 3].mode == RectTopRight && handles[i].key == handles[i + 3].key) {
            std::swap(handles[i], handles[i + 3]);     // TR, BR, TL, BL
            std::swap(handles[i + 1], handles[i + 2]); // TR, TL, BR, BL
            i += 3;
        }
    }
    Handle best;
    double bestDistance = 0;
    for (const Handle &h : handles) {
        const double d = squaredDistance(h.point, p);
        if (best.mode == NoHandle || d < bestDistance) {
            best = h;
            bestDistance = d;
        }
    }
    return best;
}

QVariant MyImageView::draggedValue(const imaging::Filter &filter, const QString &key, int &mode, const QPointF &p)
{
    const QVariant current = filter.value(key);
    switch (mode) {
    case Position:
        return QVariant::fromValue(imaging::Vector{p.x(), p.y(), 0, 0});
    case RectTopLeft:
    case RectBottomLeft:
    case RectTopRight:
    case RectBottomRight: {
        const imaging::Vector v = current.value<imaging::Vector>();
        float left = float(v.X()), right = float(v.X() + v.Z());
        float bottom = float(v.Y()), top = float(v.Y() + v.W());
        const bool leftEdge = mode == RectTopLeft || mode == RectBottomLeft;
        const bool topEdge = mode == RectTopLeft || mode == RectTopRight;
        (leftEdge ? left : right) = float(p.x());
        (topEdge ? top : bottom) = float(p.y());
        // Crossing the opposite edge turns the held corner into its mirror image, so the width and
        // height stay positive and the drag goes on with the other corner.
        if (left > right) {
            std::swap(left, right);
            static const int mirrorX[6] = {0, 0, RectTopRight, RectBottomRight, RectTopLeft, RectBottomLeft};
            mode = mirrorX[mode];
        }
        if (bottom > top) {
            std::swap(bottom, top);
            static const int mirrorY[6] = {0, 0, RectBottomLeft, RectTopLeft, RectBottomRight, RectTopRight};
            mode = mirrorY[mode];
        }
        return QVariant::fromValue(imaging::Vector{left, bottom, double(right) - left, double(top) - bottom});
    }
    case TransformOrigin:
        if (current.metaType() == QMetaType::fromType<imaging::AffineTransform>()) {
            imaging::AffineTransform t = current.value<imaging::AffineTransform>();
            t.tX = p.x();
            t.tY = p.y();
            return QVariant::fromValue(t);
        }
        if (current.metaType() == QMetaType::fromType<imaging::Vector>() && current.value<imaging::Vector>().count() >= 6) {
            imaging::Vector v = current.value<imaging::Vector>();
            v.setValue(4, p.x());
            v.setValue(5, p.y());
            return QVariant::fromValue(v);
        }
        return {};
    case Position3: {
        const float z = float(current.value<imaging::Vector>().Z());
        return QVariant::fromValue(imaging::Vector{p.x(), p.y(), double(z)});
    }
    default:
        return {};
    }
}

void MyImageView::drawOverlay(QPainter &painter)
{
    if (!displayingPoints || QApplication::activeModalWidget() || !controller())
        return;
    const std::shared_ptr<imaging::Filter> filter = controller()->getCurrentFilter();
    if (!filter)
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Handle &h : handlesOf(*filter))
        drawPoint(painter, h.point, h.label);
}

void MyImageView::drawPoint(QPainter &painter, const QPointF &p, const QString &) const
{
    // In image units: arms 8 pixels long on screen at every zoom, a circle of 4 pixels plus half a
    // unit; a black copy shifted by (+1, -1) under the white one keeps it visible on any picture.
    const double z = zoom;
    const double cx = std::floor(p.x()) + 0.5, cy = std::floor(p.y()) + 0.5;
    const double r = float(4 / z + 0.5);
    const double a = 8 / z;
    auto stroke = [&](const QColor &colour, double dx, double dy) {
        QPen pen(colour, 1);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawLine(QPointF(cx - a + dx, cy + dy), QPointF(cx + a + dx, cy + dy));
        painter.drawEllipse(QRectF(cx - r + dx, cy - r + dy, 2 * r, 2 * r));
        painter.drawLine(QPointF(cx + dx, cy - a + dy), QPointF(cx + dx, cy + a + dy));
    };
    stroke(Qt::black, 1, -1);
    stroke(Qt::white, 0, 0);
    painter.setBrush(Qt::black);
}

void MyImageView::enterEvent(QEnterEvent *event)
{
    ZoomableImageView::enterEvent(event);
    if (!controller() || !controller()->isControlsPresent())
        return;
    displayingPoints = true;
    setCursor(Qt::PointingHandCursor);
    update();
}

void MyImageView::leaveEvent(QEvent *event)
{
    ZoomableImageView::leaveEvent(event);
    displayingPoints = false;
    setCursor(Qt::ArrowCursor);
    update();
}

void MyImageView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        ZoomableImageView::mousePressEvent(event);
        return;
    }
    viewTransformScale = 1.0f;
    movingNow = true;
    parmIndex = -1;
    parmKey.clear();
    parmMode = NoHandle;
    const std::shared_ptr<imaging::Filter> filter = controller() ? controller()->getCurrentFilter() : nullptr;
    if (!filter)
        return;
    // A press anywhere holds the nearest handle: there is no distance limit.
    const Handle h = hitTest(*filter, mapToImage(event->position()));
    if (h.mode != NoHandle) {
        parmIndex = 0;
        parmKey = h.key;
        parmMode = h.mode;
    }
    update();
}

void MyImageView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || parmMode == NoHandle || parmIndex == -1 || !controller())
        return;
    const std::shared_ptr<imaging::Filter> filter = controller()->getCurrentFilter();
    if (!filter)
        return;
    viewTransformScale = 1.0f;
    const QVariant value = draggedValue(*filter, parmKey, parmMode, mapToImage(event->position()));
    // An input without a value of its kind (a transform input left empty) is not overwritten.
    if (value.isValid())
        controller()->setFilter(filter, value, parmKey);
    update();
}

void MyImageView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    movingNow = false;
    update();
}

void MyImageView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = controller() ? controller()->contextMenu() : nullptr;
    if (!menu)
        return;
    QFont font = menu->font();
    font.setPointSizeF(11);
    menu->setFont(font);
    menu->popup(event->globalPos());
}

