#pragma once

#include "imaging/image.h"
#include "views/glframe.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

class CanvasController;
class QWindow;

// The 3D mode's canvas. It does no 3D work of its own: each frame the controller draws into its
// OpenGL context (the current 3D effect, or the current image flat when there is none). Presses,
// drags and releases go to the current effect in view coordinates (y up); a drag redraws. The
// right button shows the controller's context menu; the scroll wheel does nothing.
//
// The frames are drawn in a native OpenGL window embedded in the view, not composed with the
// rest of the main window: on a software renderer, composing the whole window through OpenGL on
// every redraw costs several times what the 3D frame itself costs, in every mode.
//
// The frame can be captured: ogl_shot at the screen's resolution (copy, save, favourites),
// ogl_shot_CI at the view's size in points (Apply). Captures draw a fresh frame into a
// framebuffer object with the same context and the same drawing code.
class MyOGLView : public QWidget
{
    Q_OBJECT
public:
    explicit MyOGLView(QWidget *parent = nullptr);
    ~MyOGLView() override;

    void setController(CanvasController *controller) { m_controller = controller; }
    CanvasController *controller() const { return m_controller; }

    // Asks for a new frame ("UpdateOpenGLView" and the controller's updateView).
    void update();
    void redraw() { update(); }
    // Draws and shows a frame now, if the canvas is on screen.
    void renderNow();

    // The frame as it is drawn now, the whole view, upright, with its transparent background: the
    // view's size times the device pixel ratio in pixels, with that ratio set. Null when the view
    // cannot draw.
    QImage ogl_shot();
    // The same frame at the view's size in points, as the engine's image (origin at (0, 0)).
    imaging::Image ogl_shot_CI();

    // Why the view cannot draw (empty while it can).
    QString failure() const { return m_failure; }
    // A view that cannot draw stays hidden, leaving its area to the message about it.
    void setVisible(bool visible) override;

    // Events of the embedded window, handled as the view's own.
    void mousePressed(QMouseEvent *event);
    void mouseMoved(QMouseEvent *event);
    void mouseReleased(QMouseEvent *event);
    void entered();
    void left();

signals:
    // The view found that it cannot draw: no context could be made, or the context lacks the
    // fixed-function pipeline. The message says so for the user.
    void failed(const QString &message);

private:
    // A point of the view in view coordinates with the origin at the bottom left.
    QPointF viewPoint(const QPointF &position) const;
    bool ensureContext();
    void fail(const QString &reason);
    void drawFrame();
    qreal pixelRatio() const;

    CanvasController *m_controller = nullptr;
    QWindow *m_window = nullptr;
    QWidget *m_container = nullptr;
    OffscreenGLFrame m_frame;
    bool m_contextTried = false;
    QString m_failure;
};
