#pragma once

#include "effects/baseeffect.h"
#include "effects/panelrows.h"

#include <QColor>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <type_traits>

class Texture2D;

// What both 3D effects share: the texture of the current image, turning by drag with an undo step
// recorded at the press, the "UpdateOpenGLView" notification after every change, and the rows of
// their control panels.
//
// An effect draws into the OpenGL context that is current when draw() is called, with identity
// projection and model-view matrices and the viewport set to the frame (the canvas and the
// off-screen renderer of lumetta-cli set them up the same way).
class ThreeDEffect : public BaseEffect
{
    Q_OBJECT
public:
    // The rotation angles in degrees; the first two are turned by drags.
    virtual std::array<float, 4> &rotationAngles() = 0;
    std::array<float, 4> rotation() { return rotationAngles(); }

    // A press records the angles held now as one undo step and starts the drag; a drag turns the
    // first angle by the horizontal motion and the second by minus the vertical motion (points in
    // view coordinates, y up); the release ends the drag.
    void mouseDown(QPointF point) override;
    void mouseDragged(QPointF point) override;
    void mouseUp(QPointF point) override;
    bool isDragging() const { return gTrackball; }
    // The undo target of a drag: records the current angles, then sets the first two.
    void setPositionUNDO(float first, float second);

    // Releases the image texture.
    void clearFilter();
    bool hasTexture() const { return bool(m_texture); }

    // Asks the 3D canvas to redraw.
    static void postUpdate();

    // Reads a number from the settings into `field`; a missing, unreadable or infinite value
    // leaves it alone (false), and whole numbers are kept within the range of their type.
    template <class T>
    static bool readNumber(const QVariantMap &settings, const QString &key, T &field)
    {
        if (!settings.contains(key))
            return false;
        bool ok = false;
        double v = settings.value(key).toDouble(&ok);
        if (!ok || !std::isfinite(v))
            return false;
        if constexpr (std::is_integral_v<T>)
            v = std::clamp(v, double(std::numeric_limits<T>::min()), double(std::numeric_limits<T>::max()));
        field = T(v);
        return true;
    }

protected:
    // The controller's current image as a texture in the current context (made once per image).
    std::shared_ptr<Texture2D> imageTexture() const;

    // Records `action` as the undo of a change to a parameter.
    void recordUndo(std::function<void()> action) { registerUndo(std::move(action)); }

    // Clears the panel and sets its height; false without a panel.
    bool beginControls();
    // The row layout of the 3D effects' panels: labels 80 wide at x 10, controls at x 100, rows
    // given by their y from the bottom of a panel 225 high.
    PanelRows rows();

    std::shared_ptr<Texture2D> m_texture;
    QPointF m_lastPoint;

    static constexpr double panelHeight = 225;
    static constexpr double controlX = 100;
};
