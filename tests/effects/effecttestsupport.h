#pragma once

#include "effects/baseeffect.h"
#include "imaging/qimageadapter.h"
#include "platform/undomanager.h"
#include "views/canvascontroller.h"

#include <QImage>

#include <memory>

// A stand-in for the window's controller: a current image and an undo manager.
class FakeController : public CanvasController
{
public:
    explicit FakeController(const QImage &image = QImage())
    {
        setImage(image);
        BaseEffect::setMainController(this);
    }
    ~FakeController() override { BaseEffect::setMainController(nullptr); }

    void setImage(const QImage &image)
    {
        m_image = image.isNull() ? imaging::Image() : imaging::imageFromQImage(image);
    }
    imaging::Image backImage() const override { return m_image; }
    imaging::Image coreImageResult(bool) override { return m_image; }
    void setZoom(float) override {}
    void updateZoommWithDelta(float) override {}
    QMenu *contextMenu() const override { return nullptr; }
    UndoManager *undoManager() const override { return m_undo.get(); }
    double customCanvasZoom() const override { return zoom; }

    // The custom canvas's zoom the effects see.
    double zoom = 1;

    // Closes the group being recorded, as the event loop would between two user events.
    void endEvent() { m_undo->closeImplicitGroup(); }

private:
    imaging::Image m_image;
    std::unique_ptr<UndoManager> m_undo = std::make_unique<UndoManager>();
};

inline QImage solidImage(int w, int h, QColor color)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}
