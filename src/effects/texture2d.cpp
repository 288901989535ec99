#include "effects/texture2d.h"

#include "imaging/qimageadapter.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>


namespace {

Texture2D::TexParameters s_parameters = {GL_LINEAR, GL_LINEAR, GL_REPEAT, GL_REPEAT};
Texture2D::TexParameters s_savedParameters = s_parameters;

// What the class keeps per OpenGL context: a serial number that tells a live context from a new
// one at the same address, the names to delete when the context is next current, and the
// texture of the last image drawn in it.
struct ContextState
{
    quint64 serial = 0;
    std::vector<GLuint> pendingNames;
    std::weak_ptr<const imaging::Node> imageNode;
    std::shared_ptr<Texture2D> imageTexture;
    int madeForLimit = 0;
};

std::unordered_map<QOpenGLContext *, ContextState> &contexts()
{
    static std::unordered_map<QOpenGLContext *, ContextState> map;
    return map;
}

ContextState &stateFor(QOpenGLContext *context)
{
    static quint64 nextSerial = 1;
    auto &map = contexts();
    auto it = map.find(context);
    if (it != map.end())
        return it->second;
    ContextState &state = map[context];
    state.serial = nextSerial++;
    QObject::connect(context, &QOpenGLContext::aboutToBeDestroyed, [context] {
        auto &all = contexts();
        auto found = all.find(context);
        if (found == all.end())
            return;
        // Taken out of the table first: the texture's destructor then sees a context that is
        // going, and leaves its name to it.
        ContextState gone = std::move(found->second);
        all.erase(found);
        if (QOpenGLContext::currentContext() == context && !gone.pendingNames.empty())
            glDeleteTextures(GLsizei(gone.pendingNames.size()), gone.pendingNames.data());
    });
    return state;
}

// The mipmapped form of a minifying filter: a minified picture is sampled from the level of the
// chain nearest its size, which is smoother than sampling the full-size picture and, on a
// software renderer, about a third cheaper than blending two levels.
GLint mipmappedFilter(GLint filter)
{
    switch (filter) {
    case GL_NEAREST: return GL_NEAREST_MIPMAP_NEAREST;
    case GL_LINEAR: return GL_LINEAR_MIPMAP_NEAREST;
    default: return filter;
    }
}

// A picture halved in each direction (at least 1 pixel), each pixel the mean of the 2 x 2 block
// above it (the last row or column repeated where the size is odd). Premultiplied pixels can be
// averaged channel by channel.
QImage halved(const QImage &src)
{
    const int sw = src.width(), sh = src.height();
    const int w = std::max(1, sw / 2), h = std::max(1, sh / 2);
    const int bpp = src.depth() / 8;
    QImage dst(w, h, src.format());
    if (dst.isNull())
        return dst;
    for (int y = 0; y < h; ++y) {
        const uchar *a = src.constScanLine(std::min(2 * y, sh - 1));
        const uchar *b = src.constScanLine(std::min(2 * y + 1, sh - 1));
        uchar *d = dst.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const int x0 = std::min(2 * x, sw - 1) * bpp, x1 = std::min(2 * x + 1, sw - 1) * bpp;
            for (int c = 0; c < bpp; ++c)
                d[x * bpp + c] = uchar((a[x0 + c] + a[x1 + c] + b[x0 + c] + b[x1 + c] + 2) >> 2);
        }
    }
    return dst;
}

struct UploadFormat
{
    GLint internal;
    GLenum format;
    GLenum type;
    int bytesPerPixel;
};

bool uploadFormat(int pixelFormat, UploadFormat &out)
{
    switch (pixelFormat) {
    case Texture2D::RGBA8888: out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4}; return true;
    case Texture2D::RGB565: out = {GL_RGB, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2}; return true;
    case Texture2D::A8: out = {GL_ALPHA, GL_ALPHA, GL_UNSIGNED_BYTE, 1}; return true;
    default: return false;
    }
}

// Uploads one level of the bound texture from rows of `bytesPerLine` bytes.
void uploadLevel(int level, const UploadFormat &f, int w, int h, const void *data, int bytesPerLine)
{
    GLint alignment = 4, rowLength = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, bytesPerLine > 0 ? bytesPerLine / f.bytesPerPixel : 0);
    glTexImage2D(GL_TEXTURE_2D, level, f.internal, w, h, 0, f.format, f.type, data);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

} // namespace

std::shared_ptr<Texture2D> Texture2D::textureForImage(const imaging::Image &image)
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    if (!context || image.isNull())
        return {};
    ContextState &state = stateFor(context);
    deletePendingNames();
    const imaging::Rect extent = image.extent();
    if (extent.isEmpty() || extent.isInfinite())
        return {};
    const int limit = sizeLimitForFrame();
    const double largest = std::max(extent.width(), extent.height());
    const std::weak_ptr<const imaging::Node> node = image.node();
    const bool same = !state.imageNode.expired() && !state.imageNode.owner_before(node) && !node.owner_before(state.imageNode);
    // The texture is kept while it is as detailed as this frame can use: made for at least this
    // limit, or holding the whole picture.
    if (same && state.imageTexture && (state.madeForLimit >= limit || largest <= state.madeForLimit))
        return state.imageTexture;

    // The old picture's texture goes before the new one is made, so that two large textures are
    // never held at once.
    state.imageTexture.reset();
    state.imageNode.reset();
    // A larger picture is rendered straight at the size that fits, so that the full-size bitmap is
    // never made.
    const double scale = largest > limit ? limit / largest : 1.0;
    const QImage picture = scale < 1.0 ? imaging::renderToQImage(image, extent, scale) : imaging::qimageFromImage(image);
    std::unique_ptr<Texture2D> texture = initWithImage(picture);
    if (!texture)
        return {};
    state.imageNode = node;
    state.madeForLimit = limit;
    state.imageTexture = std::shared_ptr<Texture2D>(std::move(texture));
    return state.imageTexture;
}

int Texture2D::sizeLimitForFrame()
{
    GLint maxSize = 0, viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    glGetIntegerv(GL_VIEWPORT, viewport);
    // A picture wrapped around the sphere shows half its width across the sphere's diameter, four
    // fifths of the frame: about 2.5 texels reach each pixel at the middle. The next power of two
    // above twice the frame's larger side keeps the picture sharp there, and changes only when the
    // frame doubles.
    int limit = 1024;
    const int side = std::max(viewport[2], viewport[3]);
    while (limit < 2 * side && limit < (1 << 20))
        limit *= 2;
    return maxSize > 0 ? std::min(limit, int(maxSize)) : limit;
}

void Texture2D::drawImageFlat(const imaging::Image &image)
{
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const std::shared_ptr<Texture2D> texture = textureForImage(image);
    if (!texture)
        return;
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_FALSE);
    glDisable(GL_DITHER);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_FOG);
    glEnable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    texture->bind();
    // Upright: the bottom row of the picture (t = 0) along the lower edge.
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-0.9f, -0.9f);
    glTexCoord2f(1, 0);
    glVertex2f(0.9f, -0.9f);
    glTexCoord2f(1, 1);
    glVertex2f(0.9f, 0.9f);
    glTexCoord2f(0, 1);
    glVertex2f(-0.9f, 0.9f);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glDepthMask(GL_TRUE);
    glFlush();
}

std::unique_ptr<Texture2D> Texture2D::initWithImage(const QImage &image)
{
    if (image.isNull()) {
        qWarning("Image is Null");
        return nullptr;
    }
    if (!QOpenGLContext::currentContext()) {
        qWarning("Texture2D: no current OpenGL context");
        return nullptr;
    }
    QImage picture = image;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (maxSize > 0 && (picture.width() > maxSize || picture.height() > maxSize))
        picture = picture.scaled(maxSize, maxSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);

    int format = RGBA8888;
    QImage::Format bitmapFormat = QImage::Format_ARGB32_Premultiplied;
    if (picture.format() == QImage::Format_Alpha8) {
        format = A8;
        bitmapFormat = QImage::Format_Alpha8;
    } else if (!picture.hasAlphaChannel() && picture.depth() < 24 && !picture.isGrayscale()) {
        // Fewer than 8 bits a channel and no alpha: 16 bits a pixel are enough.
        format = RGB565;
        bitmapFormat = QImage::Format_RGB16;
    }
    // OpenGL takes the bottom row first.
    picture = picture.convertToFormat(bitmapFormat).mirrored(false, true);
    if (picture.isNull()) {
        qWarning("Texture2D: cannot convert a %dx%d picture", image.width(), image.height());
        return nullptr;
    }
    std::unique_ptr<Texture2D> texture = initWithData(picture.constBits(), format, picture.width(), picture.height(),
                                                      QSizeF(picture.size()), int(picture.bytesPerLine()));
    if (texture)
        texture->generateMipmaps(picture);
    return texture;
}

std::unique_ptr<Texture2D> Texture2D::initWithData(const void *data, int pixelFormat, int pixelsWide, int pixelsHigh,
                                                   const QSizeF &contentSize, int bytesPerLine)
{
    UploadFormat f;
    if (!uploadFormat(pixelFormat, f)) {
        qWarning("Texture2D: unknown pixel format %d", pixelFormat);
        return nullptr;
    }
    QOpenGLContext *context = QOpenGLContext::currentContext();
    if (!context || pixelsWide <= 0 || pixelsHigh <= 0)
        return nullptr;
    const quint64 serial = stateFor(context).serial;
    deletePendingNames();

    std::unique_ptr<Texture2D> texture(new Texture2D);
    texture->m_context = context;
    texture->m_serial = serial;
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    while (glGetError() != GL_NO_ERROR) {
    }
    glGenTextures(1, &texture->_name);
    glBindTexture(GL_TEXTURE_2D, texture->_name);
    applyTexParameters();
    uploadLevel(0, f, pixelsWide, pixelsHigh, data, bytesPerLine);
    const GLenum error = glGetError();
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
    if (error != GL_NO_ERROR) {
        qWarning("Texture2D: cannot upload a %dx%d texture (OpenGL error 0x%x)", pixelsWide, pixelsHigh, error);
        return nullptr;
    }
    texture->_size = contentSize;
    texture->_width = unsigned(pixelsWide);
    texture->_height = unsigned(pixelsHigh);
    texture->_format = pixelFormat;
    texture->_maxS = float(contentSize.width() / pixelsWide);
    texture->_maxT = float(contentSize.height() / pixelsHigh);
    return texture;
}

void Texture2D::generateMipmaps(const QImage &level0)
{
    // The chain is made on the processor by 2 x 2 averaging: on a software renderer this is
    // several times faster than asking OpenGL to generate it, and the same everywhere.
    UploadFormat f;
    if (!uploadFormat(_format, f))
        return;
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, _name);
    QImage level = level0;
    int index = 0;
    while (level.width() > 1 || level.height() > 1) {
        level = halved(level);
        if (level.isNull())
            break;
        uploadLevel(++index, f, level.width(), level.height(), level.constBits(), int(level.bytesPerLine()));
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, index);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mipmappedFilter(s_parameters[0]));
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
}

Texture2D::~Texture2D()
{
    if (_name == 0)
        return;
    auto &map = contexts();
    auto it = map.find(m_context);
    if (it == map.end() || it->second.serial != m_serial)
        return; // the context is gone or going, and the name with it
    if (QOpenGLContext::currentContext() == m_context)
        glDeleteTextures(1, &_name);
    else
        it->second.pendingNames.push_back(_name); // deleted when the context is next current
}

void Texture2D::deletePendingNames()
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    auto &map = contexts();
    auto it = context ? map.find(context) : map.end();
    if (it == map.end() || it->second.pendingNames.empty())
        return;
    std::vector<GLuint> names;
    names.swap(it->second.pendingNames);
    glDeleteTextures(GLsizei(names.size()), names.data());
}

QString Texture2D::description() const
{
    return QString::asprintf("<%s = %08llX | Name = %i | Dimensions = %ix%i | Coordinates = (%.2f, %.2f)>", "Texture2D",
                             static_cast<unsigned long long>(reinterpret_cast<quintptr>(this)), int(_name), int(_width),
                             int(_height), double(_maxS), double(_maxT));
}

void Texture2D::bind() const
{
    glBindTexture(GL_TEXTURE_2D, _name);
}

namespace {

// Draws a four-vertex triangle strip (lower left, lower right, upper left, upper right) with the
// picture upright.
void drawStrip(const Texture2D &t, const GLfloat vertices[8])
{
    const GLfloat coordinates[] = {0, 0, t.maxS(), 0, 0, t.maxT(), t.maxS(), t.maxT()};
    t.bind();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, vertices);
    glTexCoordPointer(2, GL_FLOAT, 0, coordinates);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

} // namespace

void Texture2D::drawAtPoint(QPointF point) const
{
    const GLfloat x = GLfloat(point.x()), y = GLfloat(point.y());
    const GLfloat w = _width * _maxS, h = _height * _maxT;
    const GLfloat vertices[] = {x, y, x + w, y, x, y + h, x + w, y + h};
    drawStrip(*this, vertices);
}

void Texture2D::drawInRect(const QRectF &rect) const
{
    const GLfloat x = GLfloat(rect.x()), y = GLfloat(rect.y());
    const GLfloat r = GLfloat(rect.x() + rect.width()), t = GLfloat(rect.y() + rect.height());
    const GLfloat vertices[] = {x, y, r, y, x, t, r, t};
    drawStrip(*this, vertices);
}

void Texture2D::setTexParameters(const TexParameters &parameters)
{
    s_parameters = parameters;
}

Texture2D::TexParameters Texture2D::texParameters()
{
    return s_parameters;
}

void Texture2D::applyTexParameters()
{
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, s_parameters[0]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, s_parameters[1]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, s_parameters[2]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, s_parameters[3]);
}

void Texture2D::saveTexParameters()
{
    s_savedParameters = s_parameters;
}

void Texture2D::restoreTexParameters()
{
    s_parameters = s_savedParameters;
}

void Texture2D::setAliasTexParameters()
{
    s_parameters[0] = GL_NEAREST;
    s_parameters[1] = GL_NEAREST;
}

void Texture2D::setAntiAliasTexParameters()
{
    s_parameters[0] = GL_LINEAR;
    s_parameters[1] = GL_LINEAR;
}
