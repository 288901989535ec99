#pragma once

#include "imaging/image.h"

#include <QImage>
#include <QOpenGLWidget>

class CanvasController;

// The 3D mode's canvas. It does no 3D work of its own: each frame the controller draws into its
// OpenGL context (the current 3D effect, or the current image flat when there is none). Presses,
// drags and releases go to the current effect in view coordinates (y up); a drag redraws. The
// right button shows the controller's context menu; the scroll wheel does nothing.
//
// The frame can be captured: ogl_shot at the screen's resolution (copy, save, favourites),
// ogl_shot_CI at the view's size in points (Apply).
class MyOGLView : public QOpenGLWidget
{
    Q_OBJECT
public:
    explicit MyOGLView(QWidget *parent = nullptr);
    ~MyOGLView() override;

    void setController(CanvasController *controller) { m_controller = controller; }
    CanvasController *controller() const { return m_controller; }

    // Marks the view for redisplay ("UpdateOpenGLView").
    void redraw();

    // The frame as it is drawn now, the whole view, upright, with its transparent background: the
    // view's size times the device pixel ratio in pixels, with that ratio set. Null before the view
    // has a context or when it cannot draw.
    QImage ogl_shot();
    // The same frame at the view's size in points, as the engine's image (origin at (0, 0)).
    imaging::Image ogl_shot_CI();

    // Why the view cannot draw (empty while it can).
    QString failure() const { return m_failure; }
    // A view that cannot draw stays hidden, leaving its area to the message about it.
    void setVisible(bool visible) override;

signals:
    // The view found that it cannot draw: no context could be made, or the context lacks the
    // fixed-function pipeline. The message says so for the user.
    void failed(const QString &message);

protected:
    void initializeGL() override;
    void paintGL() override;
    void showEvent(QShowEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    // A point of the view in view coordinates with the origin at the bottom left.
    QPointF viewPoint(const QPointF &position) const;
    void fail(const QString &reason);
    // Draws a frame of the view's device size into its framebuffer and reads it back.
    QImage captureFrame();

    CanvasController *m_controller = nullptr;
    QString m_failure;
};
