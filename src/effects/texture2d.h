#pragma once

#include "imaging/image.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <array>
#include <memory>

class QOpenGLContext;

// An OpenGL texture made from a picture, in the context that is current when it is made. Row 0 of
// the texture (t = 0) is the bottom row of the picture, as OpenGL counts rows, so a quad with
// t = 0 along its lower edge shows the picture upright. The texture deletes its name when it goes;
// if its context is not current then, the name is deleted the next time a texture is made in that
// context (or goes with the context).
//
// The class keeps one set of texture parameters for the whole program (minifying filter,
// magnifying filter, wrap in s, wrap in t), applied to every texture it creates.
class Texture2D
{
public:
    // Pixel formats of the uploaded data.
    enum PixelFormat {
        RGBA8888 = 1, // 4 bytes a pixel, premultiplied, in the byte order of QImage's ARGB32 words
        RGB565 = 2,   // 16 bits a pixel: red in the top 5 bits, green in the middle 6, blue in the low 5
        A8 = 3        // one alpha byte a pixel
    };

    // The texture of the current image in the current context. It is made from the image once and
    // kept for the frames that follow while the image stays the same (the same engine image), so a
    // redraw uploads nothing; another image replaces it. A picture larger than the frame can show
    // (see sizeLimitForFrame) is reduced to fit, which keeps the first frame quick. Null for a null
    // or unbounded image or without a current context.
    static std::shared_ptr<Texture2D> textureForImage(const imaging::Image &image);
    // The largest side a picture's texture needs for the current viewport, at most
    // GL_MAX_TEXTURE_SIZE.
    static int sizeLimitForFrame();

    // Draws the image's texture upright over the middle 90 % of the frame (stretched to the frame's
    // shape) on a cleared, transparent frame; only the clearing without an image.
    static void drawImageFlat(const imaging::Image &image);

    // A texture of the picture with its full mipmap chain: an alpha-only picture gives A8, one
    // with fewer than 8 bits a channel and no alpha RGB565, any other RGBA8888. A picture larger
    // than the context allows (GL_MAX_TEXTURE_SIZE) is scaled down to fit, keeping its
    // proportions. Null (with a log line) for a null picture or without a current context.
    static std::unique_ptr<Texture2D> initWithImage(const QImage &image);
    // A texture of `pixelsWide` x `pixelsHigh` pixels from `data` (rows of `bytesPerLine` bytes,
    // the bottom row first) in one of the pixel formats; null for another format or an empty size.
    static std::unique_ptr<Texture2D> initWithData(const void *data, int pixelFormat, int pixelsWide, int pixelsHigh,
                                                   const QSizeF &contentSize, int bytesPerLine = 0);

    ~Texture2D();
    Texture2D(const Texture2D &) = delete;
    Texture2D &operator=(const Texture2D &) = delete;

    unsigned name() const { return _name; }
    QSizeF contentSize() const { return _size; }
    int pixelFormat() const { return _format; }
    unsigned pixelsWide() const { return _width; }
    unsigned pixelsHigh() const { return _height; }
    float maxS() const { return _maxS; }
    float maxT() const { return _maxT; }
    QString description() const;

    // Binds the texture to GL_TEXTURE_2D.
    void bind() const;
    // Draws the texture as a quad with its lower-left corner at `point`, pixelsWide x pixelsHigh.
    void drawAtPoint(QPointF point) const;
    // Draws the texture as a quad over `rect` (x, y the lower-left corner).
    void drawInRect(const QRectF &rect) const;

    // The class-wide texture parameters, in the order minifying filter, magnifying filter, wrap s,
    // wrap t. At start GL_LINEAR, GL_LINEAR, GL_REPEAT, GL_REPEAT.
    using TexParameters = std::array<int, 4>;
    static void setTexParameters(const TexParameters &parameters);
    static TexParameters texParameters();
    // Applies them to the bound 2D texture.
    static void applyTexParameters();
    static void saveTexParameters();
    static void restoreTexParameters();
    // Both filters GL_NEAREST / GL_LINEAR.
    static void setAliasTexParameters();
    static void setAntiAliasTexParameters();

    // Deletes the names of textures that went while their context was not current, if the
    // current context is theirs.
    static void deletePendingNames();

private:
    Texture2D() = default;
    void generateMipmaps(const QImage &level0);

    unsigned _name = 0;
    QSizeF _size;
    unsigned _width = 0;
    unsigned _height = 0;
    int _format = 0;
    float _maxS = 0;
    float _maxT = 0;
    QOpenGLContext *m_context = nullptr;
    // Tells the context the texture was made in from a later one at the same address.
    quint64 m_serial = 0;
};
