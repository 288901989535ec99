// Whole-image changes (rotate, flip, resize, paste), the clipboard, and undo/redo.
#include "app/controller.h"

#include "app/mainwindow.h"
#include "app/undogesturefilter.h"

#include "imaging/qimageadapter.h"
#include "imaging/sourcenode.h"
#include "platform/imagefiles.h"
#include "platform/undomanager.h"
#include "views/customeffimageview.h"
#include "views/myimageview.h"
#include "views/zoomableimageview.h"
#include "widgets/dovalert.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cmath>
#include <memory>
#include <numbers>

namespace {

// The image moved so that its extent starts at (0, 0) again.
imaging::Image movedToOrigin(const imaging::Image &image)
{
    if (image.isNull() || image.extent().isEmpty() || image.extent().isInfinite())
        return imaging::Image();
    return image.transformed(imaging::AffineTransform::translation(-image.extent().x(), -image.extent().y()));
}

// The current image as a bitmap at full precision: a file's own bitmap when the image is one
// (16-bit sources stay 16-bit), otherwise the rendered picture.
QImage fullBitmap(const imaging::Image &image)
{
    const auto *source = dynamic_cast<const imaging::SourceNode *>(image.node().get());
    if (source && image.extent().x() == 0 && image.extent().y() == 0)
        return source->bitmap();
    return imaging::qimageFromImage(image);
}

// The picture of the first image the clipboard offers that can be decoded. Encoded bytes go
// through the guarded readers (size limit, truncation); Qt's own decoded image is the fallback.
QImage clipboardPicture(const QMimeData &data, bool *offered)
{
    *offered = false;
    const QStringList formats = data.formats();
    QStringList preferred{QStringLiteral("image/png"), QStringLiteral("image/tiff")};
    for (const QString &format : formats)
        if (format.startsWith(QLatin1String("image/")) && !preferred.contains(format))
            preferred << format;
    for (const QString &format : preferred) {
        if (!formats.contains(format))
            continue;
        *offered = true;
        QString error;
        const QImage picture = ImageFiles::readImageData(data.data(format), &error);
        if (!picture.isNull())
            return picture;
    }
    if (data.hasImage()) {
        *offered = true;
        const QImage picture = qvariant_cast<QImage>(data.imageData());
        if (!picture.isNull() && qint64(picture.width()) * picture.height() <= ImageFiles::pixelLimit())
            return picture;
    }
    return QImage();
}

} // namespace

void Controller::registerUndoPaste(const imaging::Image &previous)
{
    if (UndoManager *um = undoManager())
        um->registerUndo(this, [this, previous] { undoPaste(previous); });
}

void Controller::undoPaste(const imaging::Image &image)
{
    registerUndoPaste(backgroundImage);
    setBackgroundImage(image);
    refreshCanvasZoom();
    setWasChanged(true);
}

void Controller::refreshCanvasZoom()
{
    // The canvas of the mode in front lays itself out for the new size.
    if (ZoomableImageView *canvas = zoomableCanvas())
        canvas->setZoom(canvas->getZoom());
}

void Controller::rotateImage(int left)
{
    if (backgroundImage.isNull())
        return;
    const double angle = left ? std::numbers::pi / 2 : -std::numbers::pi / 2;
    const imaging::Image rotated = movedToOrigin(backgroundImage.transformed(imaging::AffineTransform::rotation(angle)));
    if (rotated.isNull())
        return;
    // A quarter turn is exact, so turning back is as good as restoring the old image.
    if (UndoManager *um = undoManager())
        um->registerUndo(this, [this, left] { rotateImage(!left); });
    setBackgroundImage(rotated);
    if (customEffectsView)
        customEffectsView->setZoom(customEffectsView->getZoom());
    setWasChanged(true);
}

void Controller::flipImage(int vertical)
{
    if (backgroundImage.isNull())
        return;
    const auto scale = vertical ? imaging::AffineTransform::scale(1, -1) : imaging::AffineTransform::scale(-1, 1);
    const imaging::Image flipped = movedToOrigin(backgroundImage.transformed(scale));
    if (flipped.isNull())
        return;
    // A flip is its own inverse.
    if (UndoManager *um = undoManager())
        um->registerUndo(this, [this, vertical] { flipImage(vertical); });
    setBackgroundImage(flipped);
    setWasChanged(true);
}

void Controller::resizeImage(float width, float height)
{
    if (backgroundImage.isNull())
        return;
    const imaging::Rect extent = backgroundImage.extent();
    if (extent.isEmpty() || extent.isInfinite())
        return;
    if (!std::isfinite(width) || !std::isfinite(height) || width < 0.5f || height < 0.5f
        || double(width) * double(height) > double(ImageFiles::pixelLimit())) {
        qWarning("Resize: %g x %g pixels refused", double(width), double(height));
        return;
    }
    const int w = std::max(1, int(std::lround(width)));
    const int h = std::max(1, int(std::lround(height)));
    // Qt's smooth scaling averages every source pixel a destination pixel covers when shrinking
    // (no aliasing) and interpolates when enlarging; it works on 16-bit bitmaps too.
    const QImage resized = fullBitmap(backgroundImage).scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (resized.isNull()) {
        qWarning("Resize: no memory for %d x %d pixels", w, h);
        return;
    }
    // Undo restores the image itself: scaling back would only give a blurred copy of the original.
    registerUndoPaste(backgroundImage);
    setBackgroundImage(imaging::imageFromQImage(resized));
    refreshCanvasZoom();
    setWasChanged(true);
}

void Controller::rotateLeft() { rotateImage(true); }
void Controller::rotateRight() { rotateImage(false); }
void Controller::flipHorizont() { flipImage(false); }
void Controller::flipVert() { flipImage(true); }

void Controller::copy()
{
    const QImage picture = createObjectImage();
    if (picture.isNull())
        return;
    // PNG and TIFF for other programs, and the picture itself for pasting back here.
    auto data = std::make_unique<QMimeData>();
    data->setImageData(picture);
    data->setData(QStringLiteral("image/png"), ImageFiles::encodeImage(picture, ImageFiles::PNG));
    data->setData(QStringLiteral("image/tiff"), ImageFiles::encodeImage(picture, ImageFiles::TIFF));
    QGuiApplication::clipboard()->setMimeData(data.release()); // the clipboard takes ownership
    updateMainBtnState();
}

void Controller::paste()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return;
    bool offered = false;
    const QImage pasted = clipboardPicture(*data, &offered);
    if (!offered)
        return;
    if (pasted.isNull()) {
        // Undecodable clipboard data: keep the current image rather than leave the canvas empty.
        DovAlert::Alert_OK(window, QStringLiteral("Couldn't paste the image."),
                           QStringLiteral("The clipboard holds a picture that cannot be read."));
        return;
    }
    // Pasting keeps the file path and the current effect; the picture is a change to save.
    undoPaste(imaging::imageFromQImage(pasted));
}

void Controller::undo()
{
    // A step asked for while a mouse button is still held first closes that gesture's step.
    if (window && window->undoGesture())
        window->undoGesture()->endGesture();
    if (UndoManager *um = undoManager())
        um->undo();
    updateView();
    updateLayout();
}

void Controller::redo()
{
    if (window && window->undoGesture())
        window->undoGesture()->endGesture();
    if (UndoManager *um = undoManager())
        um->redo();
    updateView();
    updateLayout();
}
