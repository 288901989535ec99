#include "effects/threedeffect.h"

#include "effects/texture2d.h"
#include "platform/notificationcenter.h"
#include "views/canvascontroller.h"

void ThreeDEffect::mouseDown(QPointF point)
{
    // One undo step for the whole drag, holding the angles at the press.
    std::array<float, 4> &angles = rotationAngles();
    const float first = angles[0], second = angles[1];
    recordUndo([this, first, second] { setPositionUNDO(first, second); });
    m_lastPoint = point;
    gTrackball = true;
}

void ThreeDEffect::mouseDragged(QPointF point)
{
    if (!gTrackball)
        return;
    std::array<float, 4> &angles = rotationAngles();
    angles[0] += float(point.x() - m_lastPoint.x());
    angles[1] -= float(point.y() - m_lastPoint.y());
    m_lastPoint = point;
}

void ThreeDEffect::mouseUp(QPointF)
{
    gTrackball = false;
}

void ThreeDEffect::setPositionUNDO(float first, float second)
{
    std::array<float, 4> &angles = rotationAngles();
    const float oldFirst = angles[0], oldSecond = angles[1];
    recordUndo([this, oldFirst, oldSecond] { setPositionUNDO(oldFirst, oldSecond); });
    angles[0] = first;
    angles[1] = second;
    postUpdate();
}

void ThreeDEffect::clearFilter()
{
    m_texture.reset();
}

void ThreeDEffect::postUpdate()
{
    NotificationCenter::defaultCenter().post(QStringLiteral("UpdateOpenGLView"));
}

std::shared_ptr<Texture2D> ThreeDEffect::imageTexture() const
{
    CanvasController *controller = mainController();
    return controller ? Texture2D::textureForImage(controller->backImage()) : nullptr;
}

// Panel rows.

bool ThreeDEffect::beginControls()
{
    clearTopControlsView();
    if (!topControlsView)
        return false;
    topControlsView->setMinimumHeight(int(panelHeight));
    return true;
}

PanelRows ThreeDEffect::rows()
{
    return PanelRows(topControlsView, this, {panelHeight, 280, 10, 80, 100});
}
