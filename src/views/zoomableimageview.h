#pragma once

#include "imaging/image.h"
#include "imaging/rect.h"
#include "views/previewrenderer.h"

#include <QPointer>
#include <QWidget>

class CanvasController;
class DropHighlight;
class QMimeData;
class QScrollArea;

// A canvas that shows a picture in image units at a zoom between 0.1 and 10 inside a scroll area,
// and keeps a picture smaller than the visible area centred. The canvas's bounds are a rectangle in
// image coordinates (origin bottom-left, y up); its widget size is the bounds size times the zoom.
// Subclasses say what picture to draw; only the part that is on screen is ever rendered.
//
// The picture is rendered off the interface thread. The canvas keeps the recipe of its picture
// until pictureChanged() (or a new current image, or new bounds) says it is out of date; each
// change raises the picture revision. A paint draws the last finished render, scaled to the current
// zoom if need be, and asks for a new render when that one does not show the current revision at
// the current zoom over the visible area; renders of older revisions are dropped on arrival.
// Scrolls and zooms re-render the same recipe.
class ZoomableImageView : public QWidget
{
    Q_OBJECT
public:
    static constexpr float minZoom = 0.1f;
    static constexpr float maxZoom = 10.0f;

    explicit ZoomableImageView(QWidget *parent = nullptr);

    void setController(CanvasController *controller) { m_controller = controller; }
    CanvasController *controller() const { return m_controller; }

    float getZoom() const { return zoom; }
    void setZoom(float z);
    // Lays the canvas out for the current zoom and image size. mode 3 keeps the middle of the visible
    // area in place (pulled towards the pointer when it is over the canvas); mode 2 centres on the pointer.
    void resizeViewBound(bool force, int mode);

    // The bounds in image coordinates.
    imaging::Rect bounds() const { return m_bounds; }
    // Widget pixel position -> image coordinates, and back.
    QPointF mapToImage(const QPointF &widgetPos) const;
    QPointF mapToView(const QPointF &imagePos) const;
    // Whether a drag carrying this data may be dropped: exactly one image file of a known type, not
    // a PDF.
    static bool acceptsDrop(const QMimeData *data, Qt::DropActions actions);
    // A drop: the first file's path becomes the document's and its picture the current image,
    // undoably; an unreadable file changes nothing. Always true (the drop is taken).
    virtual bool performDragOperation(const QMimeData *data);

    // The wheel's zoom step: one step up or down from z.
    static float wheelZoom(float z, float delta);

    // The picture's recipe is out of date: the next paint asks for it again and renders it.
    void pictureChanged();
    quint64 pictureRevision() const { return m_revision; }
    // Whether the last finished render shows the current revision at the current zoom over the
    // visible area (nothing left to wait for).
    bool isPictureCurrent() const;

    float viewTransformOffsetX = 0;
    float viewTransformOffsetY = 0;

signals:
    // A finished render has been taken for display (coarse passes included).
    void pictureShown(quint64 revision, bool coarse);

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    bool event(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    // The outline drawn over the window while an acceptable file is dragged over the canvas.
    void showDropHighlight();
    void hideDropHighlight();

    // The picture for this redraw; null draws nothing but the canvas background.
    virtual imaging::Image pictureForDisplay() = 0;
    // Called after the picture has been drawn, for overlays (handles, markers), with the painter
    // already mapped to image coordinates.
    virtual void drawOverlay(QPainter &) {}

    QScrollArea *scrollArea() const;
    QSizeF imageSize() const;

    float prev_zoom = 1.0f;
    float zoom = 1.0f;

    // Draws the last finished render; false when there is none.
    bool drawPicture(QPainter &painter);
    // The visible part of the canvas in image coordinates.
    imaging::Rect visibleImageRect() const;

private:
    void scrollToImagePoint(double x, double y);
    QRectF visibleRectInView() const;
    void refreshPicture();
    void takeRender(const PreviewRenderer::Result &result);

    CanvasController *m_controller = nullptr;
    imaging::Rect m_bounds;
    bool dragEnter = false;
    QPointer<DropHighlight> m_highlight;

    // The recipe being shown and what it was made from.
    imaging::Image m_picture;
    imaging::Image m_pictureSource;
    bool m_pictureFetched = false;
    quint64 m_revision = 1;
    PreviewRenderer::Request m_requested;
    PreviewRenderer::Result m_shown;
    PreviewRenderer *m_renderer = nullptr;
};
