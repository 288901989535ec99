#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QSurfaceFormat>

#include <functional>
#include <memory>

class QOffscreenSurface;
class QOpenGLContext;
class QOpenGLFramebufferObject;

// What the 3D canvas and the off-screen renderer share, so that both draw a frame the same way.
namespace GLFrame {

// The format asked for: a compatibility profile (the 3D effects use the fixed-function pipeline,
// evaluators and GLU), a depth buffer and an alpha channel (captures keep the transparent
// background).
QSurfaceFormat surfaceFormat();
// Whether a context of that format can be made here; otherwise `why` says what is missing.
// Probed once per process.
bool isAvailable(QString *why = nullptr);
// Whether the current context draws with the fixed-function pipeline; otherwise `why` says why.
bool hasFixedFunctionPipeline(QString *why = nullptr);
// Starts a frame of w x h pixels in the current context: the viewport and identity projection,
// model-view and texture matrices.
void begin(int w, int h);
// The w x h pixels of the bound read framebuffer from (0, 0), upright (OpenGL gives the bottom row
// first), as ARGB32 with the alpha the frame holds. Null when w or h is not positive or the
// picture cannot be allocated.
QImage read(int w, int h);

} // namespace GLFrame

// A frame drawn without a window: its own context, an off-screen surface and a framebuffer object
// with depth. lumetta-cli and the tests render the 3D effects through it.
class OffscreenGLFrame
{
public:
    OffscreenGLFrame();
    ~OffscreenGLFrame();
    OffscreenGLFrame(const OffscreenGLFrame &) = delete;
    OffscreenGLFrame &operator=(const OffscreenGLFrame &) = delete;

    // Makes the context (once); false with a message when OpenGL cannot be had.
    bool create(QString *why = nullptr);
    // Makes the context current, draws one w x h frame with `draw` (after GLFrame::begin) and reads
    // it back. Null when the context or the framebuffer cannot be made.
    QImage render(QSize size, const std::function<void()> &draw);
    // Makes the context current on its surface (for work between frames, and for freeing
    // textures).
    bool makeCurrent();
    // The context (null before create()); a window of the same format can show its frames.
    QOpenGLContext *context() const { return m_context.get(); }

private:
    std::unique_ptr<QOpenGLContext> m_context;
    std::unique_ptr<QOffscreenSurface> m_surface;
    std::unique_ptr<QOpenGLFramebufferObject> m_fbo;
};
