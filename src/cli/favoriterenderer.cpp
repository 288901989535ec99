#include "favoriterenderer.h"

#include "effects/baseeffect.h"
#include "effects/drawneffect.h"
#include "effects/effectcatalog.h"
#include "effects/stillimagehost.h"
#include "imaging/qimageadapter.h"
#include "imaging/standardcomposition.h"
#include "views/glframe.h"

#include <cstdlib>

FavoriteRenderer::FavoriteRenderer(Favorite favorite)
    : m_favorite(std::move(favorite))
{
}

FavoriteRenderer::~FavoriteRenderer() = default;

imaging::Image FavoriteRenderer::standardResult(const Favorite &favorite, const imaging::Image &current,
                                                QString *error)
{
    auto filter = imaging::Filter::filterWithName(favorite.className);
    if (!filter) {
        if (error)
            *error = QStringLiteral("there is no filter \"%1\"").arg(favorite.className);
        return {};
    }
    // As the window applies a favourite: the filter as newly chosen, then the favourite's values in
    // the filter's order. The canvas is the picture's size.
    const imaging::Rect view = current.extent();
    imaging::standardcomposition::prepare(*filter, current, view);
    for (const QString &key : filter->inputKeys())
        if (favorite.values.contains(key))
            filter->setValue(favorite.values.value(key), key);
    imaging::Image result = imaging::standardcomposition::result(*filter, current, view);
    if (result.isNull() || result.extent().isEmpty() || result.extent().isInfinite()) {
        if (error)
            *error = QStringLiteral("%1 gives no picture with these values").arg(favorite.className);
        return {};
    }
    const imaging::Rect extent = result.extent();
    return result.transformed(imaging::AffineTransform::translation(-extent.x(), -extent.y()));
}

QImage FavoriteRenderer::render(const QImage &input, unsigned seed, QString *error)
{
    QImage picture;
    switch (m_favorite.mode) {
    case Favorite::Standard: {
        const imaging::Image result = standardResult(m_favorite, imaging::imageFromQImage(input), error);
        if (result.isNull())
            return {};
        picture = imaging::qimageFromImage(result);
        if (picture.isNull() && error)
            *error = QStringLiteral("the result is too large to render");
        break;
    }
    case Favorite::Custom:
        picture = renderDrawn(input, seed, error);
        break;
    default: {
        // The frame has the picture's size, reduced to the largest frame OpenGL is asked for.
        QSize size = input.size();
        if (size.width() > maxFrameSide || size.height() > maxFrameSide)
            size.scale(maxFrameSide, maxFrameSide, Qt::KeepAspectRatio);
        picture = render3D(input, size.expandedTo(QSize(1, 1)), error);
        break;
    }
    }
    return picture.isNull() ? QImage() : picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

std::unique_ptr<BaseEffect> FavoriteRenderer::workingCopy(QString *error) const
{
    const std::unique_ptr<BaseEffect> prototype = EffectCatalog::prototype(m_favorite.className);
    if (!prototype) {
        if (error)
            *error = QStringLiteral("there is no effect \"%1\"").arg(m_favorite.className);
        return nullptr;
    }
    std::unique_ptr<BaseEffect> effect = prototype->mycopy();
    effect->read(m_favorite.values);
    return effect;
}

QImage FavoriteRenderer::renderDrawn(const QImage &input, unsigned seed, QString *error)
{
    StillImageHost host(input);
    std::srand(seed);
    srandom(seed);
    // The working copy, as the window makes it when the favourite is chosen, rendered once.
    std::unique_ptr<BaseEffect> effect = workingCopy(error);
    if (!effect)
        return {};
    effect->loadImage();
    if (auto *drawn = dynamic_cast<DrawnEffect *>(effect.get()))
        drawn->makeImageEffect();
    effect->markInitialised();
    const QImage picture = effect->getDrawImage();
    effect.reset();
    if (picture.isNull() && error)
        *error = QStringLiteral("%1 produced no picture").arg(m_favorite.className);
    return picture;
}

QImage FavoriteRenderer::render3D(const QImage &input, QSize size, QString *error)
{
    if (!m_frame) {
        m_frame = std::make_unique<OffscreenGLFrame>();
        QString why;
        if (!m_frame->create(&why)) {
            m_frame.reset();
            if (error)
                *error = QStringLiteral("3D effects need OpenGL: %1 (run under an X display, or xvfb-run)").arg(why);
            return {};
        }
    }
    StillImageHost host(input);
    std::unique_ptr<BaseEffect> effect = workingCopy(error);
    if (!effect)
        return {};
    const QImage picture = m_frame->render(size, [&effect] { effect->draw(); });
    // The effect's texture is freed while the context is current.
    if (m_frame->makeCurrent())
        effect.reset();
    effect.reset();
    if (picture.isNull() && error)
        *error = QStringLiteral("cannot render a %1x%2 frame").arg(size.width()).arg(size.height());
    return picture;
}

QImage FavoriteRenderer::buttonPicture(const QImage &input)
{
    QString error;
    if (m_favorite.mode == Favorite::Standard) {
        // Rendered at the picture's size from the start: the cost does not grow with the input.
        return Favorite::buttonPicture(standardResult(m_favorite, imaging::imageFromQImage(input), &error));
    }
    QImage picture = m_favorite.mode == Favorite::Custom
        ? renderDrawn(input, 1, &error)
        : render3D(input, QSize(Favorite::pictureWidth, Favorite::pictureHeight) * 8, &error);
    if (picture.isNull()) {
        // A neutral picture, so that the favourite still gets its button.
        picture = QImage(Favorite::pictureWidth, Favorite::pictureHeight, QImage::Format_ARGB32_Premultiplied);
        picture.fill(QColor(128, 128, 128));
    }
    return Favorite::buttonPicture(picture);
}
