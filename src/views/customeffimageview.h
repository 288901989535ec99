#pragma once

#include "views/zoomableimageview.h"

#include <QImage>
#include <QPointer>

class DropHighlight;
class QMimeData;

// The custom mode's canvas: the working copy's picture over the current image, or the current image
// alone while no effect is chosen. Mouse presses, drags and releases go to the working copy in
// image coordinates; while the pointer is over the canvas and the effect follows the mouse, a
// 16 x 16 marker shows the effect's anchor at any zoom. One dropped image file becomes the current
// image.
class customEffImageView : public ZoomableImageView
{
    Q_OBJECT
public:
    explicit customEffImageView(QWidget *parent = nullptr);

    bool isCursorDrawn() const { return drawCursor; }
    QImage cursorImage() const { return cursorImg; }
    // A drop: the file's picture becomes the current image (undoably) and the canvas is laid out
    // again. Always true (the drop is taken).
    bool performDragOperation(const QMimeData *data) override;

protected:
    imaging::Image pictureForDisplay() override;
    void drawOverlay(QPainter &painter) override;
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:

    bool drawCursor = false;
    QImage cursorImg;
};
