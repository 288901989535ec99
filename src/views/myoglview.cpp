#include "views/myoglview.h"

#include "imaging/qimageadapter.h"
#include "platform/notificationcenter.h"
#include "views/canvascontroller.h"

#include <QMenu>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QVBoxLayout>
#include <QWindow>

#include <GL/gl.h>

namespace {

// The native window the frames are shown in. It takes no keyboard focus (the main window's
// shortcuts keep working) and hands its events to the view.
class GLCanvasWindow : public QWindow
{
public:
    explicit GLCanvasWindow(MyOGLView *view)
        : m_view(view)
    {
        setSurfaceType(QSurface::OpenGLSurface);
        setFormat(GLFrame::surfaceFormat());
        setFlag(Qt::WindowDoesNotAcceptFocus);
    }

protected:
    bool event(QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::UpdateRequest: m_view->renderNow(); return true;
        case QEvent::Enter: m_view->entered(); return true;
        case QEvent::Leave: m_view->left(); return true;
        default: return QWindow::event(event);
        }
    }
    void exposeEvent(QExposeEvent *) override
    {
        if (isExposed())
            m_view->renderNow();
    }
    void mousePressEvent(QMouseEvent *event) override { m_view->mousePressed(event); }
    void mouseMoveEvent(QMouseEvent *event) override { m_view->mouseMoved(event); }
    void mouseReleaseEvent(QMouseEvent *event) override { m_view->mouseReleased(event); }
    // The wheel neither zooms nor turns the 3D view.
    void wheelEvent(QWheelEvent *event) override { event->accept(); }

private:
    MyOGLView *m_view;
};

} // namespace

MyOGLView::MyOGLView(QWidget *parent)
    : QWidget(parent)
    , m_window(new GLCanvasWindow(this))
{
    m_container = QWidget::createWindowContainer(m_window, this);
    m_container->setFocusPolicy(Qt::NoFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_container);
    NotificationCenter::defaultCenter().observe(this, QStringLiteral("UpdateOpenGLView"), [this] { redraw(); });
}

MyOGLView::~MyOGLView() = default;

void MyOGLView::update()
{
    m_window->requestUpdate();
}

void MyOGLView::setVisible(bool visible)
{
    QWidget::setVisible(visible && m_failure.isEmpty());
}

void MyOGLView::fail(const QString &reason)
{
    if (!m_failure.isEmpty())
        return;
    m_failure = reason;
    qWarning("MyOGLView: %s", qPrintable(reason));
    emit failed(tr("The 3D effects cannot be shown: %1.").arg(reason));
}

bool MyOGLView::ensureContext()
{
    if (!m_failure.isEmpty())
        return false;
    if (!m_contextTried) {
        m_contextTried = true;
        QString why;
        if (!m_frame.create(&why)) {
            fail(why);
            return false;
        }
    }
    return m_frame.context() != nullptr;
}

qreal MyOGLView::pixelRatio() const
{
    return m_window->devicePixelRatio();
}

void MyOGLView::drawFrame()
{
    if (m_controller) {
        m_controller->draw3DScene();
    } else {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
}

void MyOGLView::renderNow()
{
    if (!m_window->isExposed() || !ensureContext())
        return;
    QOpenGLContext *context = m_frame.context();
    if (!context->makeCurrent(m_window)) {
        fail(tr("the OpenGL context cannot draw in the window"));
        return;
    }
    const qreal dpr = pixelRatio();
    GLFrame::begin(int(m_window->width() * dpr), int(m_window->height() * dpr));
    drawFrame();
    context->swapBuffers(m_window);
}

QImage MyOGLView::ogl_shot()
{
    if (!ensureContext() || width() <= 0 || height() <= 0)
        return {};
    const qreal dpr = pixelRatio();
    QImage frame = m_frame.render(QSize(int(width() * dpr), int(height() * dpr)), [this] { drawFrame(); });
    // The picture has the view's size in points and the screen's resolution in pixels.
    frame.setDevicePixelRatio(dpr);
    return frame;
}

imaging::Image MyOGLView::ogl_shot_CI()
{
    if (!ensureContext() || width() <= 0 || height() <= 0)
        return {};
    // The frame at the view's size in points; on a high-resolution screen it is drawn at that size
    // rather than cut from the larger frame.
    const QImage frame = m_frame.render(size(), [this] { drawFrame(); });
    if (frame.isNull())
        return {};
    return imaging::imageFromQImage(frame.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

QPointF MyOGLView::viewPoint(const QPointF &position) const
{
    return QPointF(position.x(), height() - position.y());
}

void MyOGLView::entered()
{
    if (m_controller && m_controller->has3DEffect()) {
        m_window->setCursor(Qt::PointingHandCursor);
        update();
    }
}

void MyOGLView::left()
{
    m_window->unsetCursor();
    update();
}

void MyOGLView::mousePressed(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        if (QMenu *menu = m_controller ? m_controller->contextMenu() : nullptr)
            menu->popup(event->globalPosition().toPoint());
        return;
    }
    // The middle button does nothing.
    if (event->button() != Qt::LeftButton || !m_controller || !m_controller->has3DEffect())
        return;
    m_controller->effect3DMouse(0, viewPoint(event->position()));
}

void MyOGLView::mouseMoved(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !m_controller || !m_controller->has3DEffect())
        return;
    m_controller->effect3DMouse(1, viewPoint(event->position()));
    update();
}

void MyOGLView::mouseReleased(QMouseEvent *event)
{
    // Any button's release ends a drag, the right one's too.
    if (!m_controller || !m_controller->has3DEffect())
        return;
    m_controller->effect3DMouse(2, viewPoint(event->position()));
}
