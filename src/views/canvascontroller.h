#pragma once

#include "imaging/filter.h"
#include "imaging/image.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVariant>

#include <memory>

class QMenu;
class QPainter;
class UndoManager;

// What the canvases need from the window's controller. The controller implements it; the views
// layer sees only this interface, so it never depends on the application layer above it.
class CanvasController
{
public:
    virtual ~CanvasController() = default;

    // The current image, the one the user edits (null before start-up has installed one).
    virtual imaging::Image backImage() const = 0;
    // The standard mode's picture: the current filter over the current image (null when the filter
    // cannot render, for example while an image input is missing).
    virtual imaging::Image coreImageResult(bool overBlack) = 0;
    // Moves the zoom slider to follow a zoom the canvas chose itself (wheel).
    virtual void setZoom(float zoom) = 0;
    // Adds a pinch gesture's magnification to the zoom of the canvas in front.
    virtual void updateZoommWithDelta(float delta) = 0;
    // The menu the canvases show on a right click.
    virtual QMenu *contextMenu() const = 0;

    // The standard mode's filter chain, as the parameter rows and the canvas handles use it. The
    // defaults do nothing, so that canvases without a filter need not implement them.
    // The filter whose inputs the rows and handles edit (null when none is chosen).
    virtual std::shared_ptr<imaging::Filter> getCurrentFilter() const { return {}; }
    // Sets one input of the filter and records the old value as an undo step.
    virtual void setFilter(const std::shared_ptr<imaging::Filter> &, const QVariant &, const QString &) {}
    // Names the undo step just recorded after the filter and the input.
    virtual void setActionNameForFilter(const std::shared_ptr<imaging::Filter> &, const QString &) {}
    // Asks for the current mode's canvas to be redrawn.
    virtual void updateView() {}
    // Whether the current filter has inputs edited by handles on the canvas.
    virtual bool isControlsPresent() const { return false; }
    // A file dropped on a canvas: its picture becomes the current image and its path the document's,
    // undoably; a file that cannot be read leaves everything as it was and the user is told why.
    virtual void openDroppedFile(const QString &) {}

    // The custom mode's working copy, as its canvas and the drawn effects need it. Without a
    // working copy the canvas shows the current image alone.
    // The window's undo manager (null when there is none).
    virtual UndoManager *undoManager() const { return nullptr; }
    virtual bool hasCustomEffect() const { return false; }
    // Whether the working copy follows the mouse (the canvas then shows its anchor marker).
    virtual bool customEffectIsMousing() const { return false; }
    // The working copy's anchor point, image coordinates (origin bottom-left).
    virtual QPointF customEffectStartPoint() const { return {}; }
    // Mouse events for the working copy, in image coordinates: 0 press, 1 drag, 2 release.
    virtual void customEffectMouse(int, const QPointF &) {}
    // How many screen pixels the custom canvas shows per image pixel (its zoom).
    virtual double customCanvasZoom() const { return 1; }
    // Paints the part `source` (image pixels, top-left origin) of the working copy's picture into
    // `target`; false when it has nothing to show.
    virtual bool drawCustomEffect(QPainter &, const QRectF &, const QRectF &) { return false; }

    // The 3D mode, as its OpenGL canvas needs it.
    virtual bool has3DEffect() const { return false; }
    // Draws the frame into the current OpenGL context (identity matrices, the viewport set): the
    // current 3D effect, or the current image upright over the middle of the frame without one.
    virtual void draw3DScene() {}
    // Mouse events for the current 3D effect, in view coordinates with y up: 0 press, 1 drag,
    // 2 release.
    virtual void effect3DMouse(int, const QPointF &) {}
};
