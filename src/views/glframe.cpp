#include "views/glframe.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <GL/gl.h>

#include <chrono>
#include <optional>
#include <thread>


namespace GLFrame {

QSurfaceFormat surfaceFormat()
{
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    format.setAlphaBufferSize(8);
    return format;
}

bool hasFixedFunctionPipeline(QString *why)
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    if (!context) {
        if (why)
            *why = QStringLiteral("no OpenGL context could be made");
        return false;
    }
    if (context->isOpenGLES()) {
        if (why)
            *why = QStringLiteral("only OpenGL ES is available, without the fixed-function pipeline");
        return false;
    }
    const QSurfaceFormat f = context->format();
    if (f.profile() == QSurfaceFormat::CoreProfile && f.version() >= qMakePair(3, 2)) {
        if (why)
            *why = QStringLiteral("the OpenGL driver offers only a core profile (%1.%2), without the fixed-function pipeline")
                       .arg(f.majorVersion())
                       .arg(f.minorVersion());
        return false;
    }
    return true;
}

bool isAvailable(QString *why)
{
    static std::optional<std::pair<bool, QString>> probed;
    if (!probed) {
        OffscreenGLFrame frame;
        QString reason;
        const bool ok = frame.create(&reason);
        probed = std::make_pair(ok, reason);
    }
    if (why)
        *why = probed->second;
    return probed->first;
}

void begin(int w, int h)
{
    glViewport(0, 0, w, h);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

QImage read(int w, int h)
{
    if (w <= 0 || h <= 0)
        return {};
    QImage frame(w, h, QImage::Format_ARGB32);
    if (frame.isNull())
        return {};
    GLint alignment = 4, rowLength = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, int(frame.bytesPerLine() / 4));
    // BGRA words in memory order are QImage's ARGB32 pixels.
    glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, frame.bits());
    glPixelStorei(GL_PACK_ROW_LENGTH, rowLength);
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    // The bottom row came first.
    return frame.mirrored(false, true);
}

} // namespace GLFrame

OffscreenGLFrame::OffscreenGLFrame() = default;

OffscreenGLFrame::~OffscreenGLFrame()
{
    // The framebuffer object is freed while its context is current.
    if (m_fbo && makeCurrent()) {
        m_fbo.reset();
        m_context->doneCurrent();
    }
}

bool OffscreenGLFrame::create(QString *why)
{
    if (m_context)
        return true;
    if (!QGuiApplication::instance()) {
        if (why)
            *why = QStringLiteral("OpenGL needs a graphical session");
        return false;
    }
    // A software renderer short of resources for a moment (a busy display server, another
    // process holding most of the memory) can refuse one context and grant the next: try a few
    // times before telling the caller there is no OpenGL.
    auto context = std::make_unique<QOpenGLContext>();
    context->setFormat(GLFrame::surfaceFormat());
    bool created = context->create();
    for (int attempt = 1; !created && attempt < 4; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100 * attempt));
        context = std::make_unique<QOpenGLContext>();
        context->setFormat(GLFrame::surfaceFormat());
        created = context->create();
    }
    if (!created) {
        if (why)
            *why = QStringLiteral("no OpenGL context could be made on the \"%1\" display").arg(QGuiApplication::platformName());
        return false;
    }
    auto surface = std::make_unique<QOffscreenSurface>();
    surface->setFormat(context->format());
    surface->create();
    if (!surface->isValid() || !context->makeCurrent(surface.get())) {
        if (why)
            *why = QStringLiteral("the OpenGL context cannot draw off screen");
        return false;
    }
    const bool usable = GLFrame::hasFixedFunctionPipeline(why);
    context->doneCurrent();
    if (!usable)
        return false;
    m_context = std::move(context);
    m_surface = std::move(surface);
    return true;
}

bool OffscreenGLFrame::makeCurrent()
{
    return m_context && m_context->makeCurrent(m_surface.get());
}

QImage OffscreenGLFrame::render(QSize size, const std::function<void()> &draw)
{
    if (size.isEmpty() || !create() || !makeCurrent())
        return {};
    if (!m_fbo || m_fbo->size() != size) {
        m_fbo.reset();
        QOpenGLFramebufferObjectFormat format;
        format.setAttachment(QOpenGLFramebufferObject::CombinedDepthStencil);
        format.setInternalTextureFormat(GL_RGBA8);
        m_fbo = std::make_unique<QOpenGLFramebufferObject>(size, format);
        if (!m_fbo->isValid()) {
            qWarning("OffscreenGLFrame: cannot make a %dx%d framebuffer", size.width(), size.height());
            m_fbo.reset();
            return {};
        }
    }
    m_fbo->bind();
    GLFrame::begin(size.width(), size.height());
    if (draw)
        draw();
    glFinish();
    QImage frame = GLFrame::read(size.width(), size.height());
    m_fbo->release();
    return frame;
}
