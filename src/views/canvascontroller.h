#pragma once

#include "imaging/image.h"

#include <QString>

class QMenu;

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
};
