#include "views/myoglview.h"

#include "imaging/qimageadapter.h"
#include "platform/notificationcenter.h"
#include "views/canvascontroller.h"
#include "views/glframe.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QTimer>
#include <QWheelEvent>

#include <GL/gl.h>

MyOGLView::MyOGLView(QWidget *parent)
    : QOpenGLWidget(parent)
{
    setFormat(GLFrame::surfaceFormat());
    NotificationCenter::defaultCenter().observe(this, QStringLiteral("UpdateOpenGLView"), [this] { redraw(); });
}

MyOGLView::~MyOGLView() = default;

void MyOGLView::redraw()
{
    update();
}

void MyOGLView::setVisible(bool visible)
{
    QOpenGLWidget::setVisible(visible && m_failure.isEmpty());
}

void MyOGLView::fail(const QString &reason)
{
    if (!m_failure.isEmpty())
        return;
    m_failure = reason;
    qWarning("MyOGLView: %s", qPrintable(reason));
    emit failed(tr("The 3D effects cannot be shown: %1.").arg(reason));
}

void MyOGLView::showEvent(QShowEvent *event)
{
    QOpenGLWidget::showEvent(event);
    // The context is made when the view is first shown; a view that got none says so once the
    // attempt is over.
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && !isValid())
            fail(tr("no OpenGL context could be made"));
    });
}

void MyOGLView::initializeGL()
{
    QString why;
    if (!GLFrame::hasFixedFunctionPipeline(&why))
        fail(why);
}

void MyOGLView::paintGL()
{
    const qreal dpr = devicePixelRatioF();
    GLFrame::begin(int(width() * dpr), int(height() * dpr));
    if (!m_failure.isEmpty() || !m_controller) {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return;
    }
    m_controller->draw3DScene();
}

QImage MyOGLView::captureFrame()
{
    if (!m_failure.isEmpty() || !isValid())
        return {};
    makeCurrent();
    const qreal dpr = devicePixelRatioF();
    const int w = int(width() * dpr), h = int(height() * dpr);
    // A fresh frame, so that a change not yet painted is in the capture.
    paintGL();
    glFinish();
    const QImage frame = GLFrame::read(w, h);
    doneCurrent();
    return frame;
}

QImage MyOGLView::ogl_shot()
{
    QImage frame = captureFrame();
    // The picture has the view's size in points and the screen's resolution in pixels.
    frame.setDevicePixelRatio(devicePixelRatioF());
    return frame;
}

imaging::Image MyOGLView::ogl_shot_CI()
{
    QImage frame = captureFrame();
    if (frame.isNull())
        return {};
    // On a high-resolution screen the whole frame is brought to the view's size in points.
    if (frame.size() != size() && !size().isEmpty())
        frame = frame.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return imaging::imageFromQImage(frame.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

QPointF MyOGLView::viewPoint(const QPointF &position) const
{
    return QPointF(position.x(), height() - position.y());
}

void MyOGLView::enterEvent(QEnterEvent *)
{
    if (m_controller && m_controller->has3DEffect()) {
        setCursor(Qt::PointingHandCursor);
        update();
    }
}

void MyOGLView::leaveEvent(QEvent *)
{
    unsetCursor();
    update();
}

void MyOGLView::mousePressEvent(QMouseEvent *event)
{
    // The right button's press shows the context menu (contextMenuEvent); the middle one does
    // nothing.
    if (event->button() != Qt::LeftButton || !m_controller || !m_controller->has3DEffect())
        return;
    m_controller->effect3DMouse(0, viewPoint(event->position()));
}

void MyOGLView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !m_controller || !m_controller->has3DEffect())
        return;
    m_controller->effect3DMouse(1, viewPoint(event->position()));
    update();
}

void MyOGLView::mouseReleaseEvent(QMouseEvent *event)
{
    // Any button's release ends a drag, the right one's too.
    if (!m_controller || !m_controller->has3DEffect())
        return;
    m_controller->effect3DMouse(2, viewPoint(event->position()));
}

void MyOGLView::contextMenuEvent(QContextMenuEvent *event)
{
    if (QMenu *menu = m_controller ? m_controller->contextMenu() : nullptr)
        menu->popup(event->globalPos());
}

void MyOGLView::wheelEvent(QWheelEvent *event)
{
    // The wheel neither zooms nor turns the 3D view.
    event->accept();
}
