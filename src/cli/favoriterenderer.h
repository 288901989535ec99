#pragma once

#include "effects/favorite.h"
#include "imaging/image.h"

#include <QImage>
#include <QString>

#include <memory>

class BaseEffect;
class OffscreenGLFrame;

// What a favourite makes of a picture, as the window's Apply would bake it into the image: a
// standard favourite's filter composed over the picture; a custom favourite's drawn effect over
// the picture, with the C library's generators seeded first (so that a seed always gives the same
// picture, as `lumetta-cli effect --seed` does); a 3D favourite drawn into an off-screen frame of
// the picture's size (at most 4096 pixels a side). Renders on the thread that made the renderer.
class FavoriteRenderer
{
public:
    explicit FavoriteRenderer(Favorite favorite);
    ~FavoriteRenderer();
    FavoriteRenderer(const FavoriteRenderer &) = delete;
    FavoriteRenderer &operator=(const FavoriteRenderer &) = delete;

    // The result as an ARGB32 premultiplied picture; null with `error` set when there is none.
    QImage render(const QImage &input, unsigned seed, QString *error);
    // A standard favourite's result over `current`, moved to start at (0, 0) as Apply does; null
    // with `error` set when the filter gives no picture.
    static imaging::Image standardResult(const Favorite &favorite, const imaging::Image &current, QString *error);
    // The favourite's 40 x 25 picture over `input` (the tool's pictures for imported favourites).
    // 3D favourites without OpenGL get a neutral grey picture.
    QImage buttonPicture(const QImage &input);

    static constexpr int maxFrameSide = 4096;

private:
    // A copy of the favourite's effect holding its settings; null with `error` set for an unknown
    // effect.
    std::unique_ptr<BaseEffect> workingCopy(QString *error) const;
    QImage renderDrawn(const QImage &input, unsigned seed, QString *error);
    QImage render3D(const QImage &input, QSize size, QString *error);

    Favorite m_favorite;
    std::unique_ptr<OffscreenGLFrame> m_frame;
};
