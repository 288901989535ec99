// Whole-image changes (rotate, flip, paste), the clipboard, and undo/redo.
#include "app/controller.h"

#include "effects/baseeffect.h"
#include "imaging/qimageadapter.h"
#include "platform/undomanager.h"
#include "views/customeffimageview.h"
#include "views/myimageview.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <numbers>

namespace {
// The image moved so that its extent starts at (0, 0) again.
imaging::Image movedToOrigin(const imaging::Image &image)
{
    if (image.isNull() || image.extent().isEmpty() || image.extent().isInfinite())
        return imaging::Image();
    return image.transformed(imaging::AffineTransform::translation(-image.extent().x(), -image.extent().y()));
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
}

void Controller::refreshCanvasZoom()
{
    // The canvas of the mode in front lays itself out for the new size.
    if (filerMode() == 0 && ciView)
        ciView->setZoom(ciView->getZoom());
    else if (filerMode() == 2 && customEffectsView)
        customEffectsView->setZoom(customEffectsView->getZoom());
}

void Controller::rotateImage(int left)
{
    if (backgroundImage.isNull())
        return;
    const double angle = left ? std::numbers::pi / 2 : -std::numbers::pi / 2;
    const imaging::Image rotated = movedToOrigin(backgroundImage.transformed(imaging::AffineTransform::rotation(angle)));
    if (rotated.isNull())
        return;
    if (UndoManager *um = undoManager())
        um->registerUndo(this, [this, left] { rotateImage(!left); });
    setBackgroundImage(rotated);
    if (customEffectsView)
        customEffectsView->setZoom(customEffectsView->getZoom());
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
}

void Controller::rotateLeft() { rotateImage(true); }
void Controller::rotateRight() { rotateImage(false); }
void Controller::flipHorizont() { flipImage(false); }
void Controller::flipVert() { flipImage(true); }

QImage Controller::getEffectedImage()
{
    QImage result = imageFromCIImage(backgroundImage);
    switch (filerMode()) {
    case 0:
        if (currentFilter) {
            const imaging::Image r = coreImageResult(false);
            if (!r.isNull())
                result = imageFromCIImage(r);
        }
        break;
    case 2:
        if (currentCustomEffect)
            result = currentCustomEffect->getDrawImage();
        break;
    default:
        break;
    }
    return result;
}

void Controller::copy()
{
    const QImage image = getEffectedImage();
    if (image.isNull())
        return;
    // QClipboard offers the image as PNG, TIFF and the other encodings Qt knows.
    QGuiApplication::clipboard()->setImage(image);
    updateMainBtnState();
}

void Controller::paste()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasImage())
        return;
    const QImage pasted = qvariant_cast<QImage>(data->imageData());
    if (pasted.isNull()) {
        // Undecodable clipboard data: keep the current image rather than leave the canvas empty.
        qWarning("Paste: the clipboard's image could not be decoded");
        return;
    }
    registerUndoPaste(backgroundImage);
    setBackgroundImage(imaging::imageFromQImage(pasted));
    refreshCanvasZoom();
}

void Controller::undo()
{
    if (UndoManager *um = undoManager())
        um->undo();
    updateView();
    updateLayout();
}

void Controller::redo()
{
    if (UndoManager *um = undoManager())
        um->redo();
    updateView();
    updateLayout();
}
