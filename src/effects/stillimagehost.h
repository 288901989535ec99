#pragma once

#include "imaging/image.h"
#include "views/canvascontroller.h"

#include <QImage>

#include <memory>

class UndoManager;

// The effects' controller outside the window: one still image as the current image and an undo
// manager for the steps the effects record. lumetta-cli, the benchmarks and the tests run the
// effects with it exactly as the window does. While it exists it is the effects' controller
// (BaseEffect::mainController).
class StillImageHost : public CanvasController
{
public:
    explicit StillImageHost(const QImage &image = QImage());
    ~StillImageHost() override;
    StillImageHost(const StillImageHost &) = delete;
    StillImageHost &operator=(const StillImageHost &) = delete;

    // A null image leaves the host without a current image.
    void setImage(const QImage &image);

    imaging::Image backImage() const override { return m_image; }
    imaging::Image coreImageResult(bool) override { return m_image; }
    void setZoom(float) override {}
    void updateZoommWithDelta(float) override {}
    QMenu *contextMenu() const override { return nullptr; }
    UndoManager *undoManager() const override { return m_undo.get(); }
    // The zoom of the canvas the effects render for while a control is dragged (1 unless set).
    double customCanvasZoom() const override { return m_canvasZoom; }
    void setCanvasZoom(double zoom) { m_canvasZoom = zoom; }

    // Closes the group of undo steps being recorded, as the window's event loop does between two
    // user events.
    void endEvent();

private:
    imaging::Image m_image;
    std::unique_ptr<UndoManager> m_undo;
    double m_canvasZoom = 1;
};
