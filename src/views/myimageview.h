#pragma once

#include "imaging/filter.h"
#include "views/zoomableimageview.h"

#include <QList>
#include <QPointer>
#include <QPointF>
#include <QString>
#include <QVariant>

#include <memory>

class DropHighlight;
class QMimeData;

// The standard mode's canvas: the current filter's result over the current image. While the
// pointer is over it, every point-like input of the filter (positions, 3D positions, rectangle
// corners, a transform's translation) shows a handle that can be dragged. It also takes one image
// file dropped on it and shows the controller's context menu on a right click.
class MyImageView : public ZoomableImageView
{
    Q_OBJECT
public:
    // Handle kinds, as parmMode records them.
    enum HandleMode { NoHandle = 0, Position = 1, RectTopLeft = 2, RectBottomLeft = 3, RectTopRight = 4,
                      RectBottomRight = 5, TransformOrigin = 8, Position3 = 10 };

    struct Handle
    {
        QString key;
        int mode = NoHandle;
        QPointF point;
        QString label;
    };

    explicit MyImageView(QWidget *parent = nullptr);

    // The handles of a filter's inputs in input-key order (rectangle corners bottom left, bottom
    // right, top left, top right), in image coordinates.
    static QList<Handle> handlesOf(const imaging::Filter &filter);
    // The handle a press at p holds: the nearest, the earlier one on ties (rectangle corners are
    // tried top right, top left, bottom right, bottom left). No handle when the filter has none.
    static Handle hitTest(const imaging::Filter &filter, const QPointF &p);
    // The input's new value for a drag of the handle of kind `mode` to p. A rectangle corner dragged
    // across the opposite edge becomes the mirrored corner, so `mode` may change. Invalid when the
    // input holds no value of the right kind.
    static QVariant draggedValue(const imaging::Filter &filter, const QString &key, int &mode, const QPointF &p);

    bool isDisplayingPoints() const { return displayingPoints; }
    int heldMode() const { return parmMode; }
    QString heldKey() const { return parmKey; }

protected:
    imaging::Image pictureForDisplay() override;
    void drawOverlay(QPainter &painter) override;

    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void drawPoint(QPainter &painter, const QPointF &p, const QString &label) const;

    bool movingNow = false;
    bool displayingPoints = false;
    float viewTransformScale = 1.0f;
    int parmIndex = -1;
    QString parmKey;
    int parmMode = NoHandle;
};
