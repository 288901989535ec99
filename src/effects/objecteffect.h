#pragma once

#include "effects/threedeffect.h"

#include <QStringList>

#include <array>

// "3D Objects": the current image wrapped as a texture around one of seven solids (sphere,
// cylinder, torus, cube, cone, pyramid, disk), chosen in a pop-up and turned by dragging. Without
// an image the view stays cleared.
class ObjectEffect : public ThreeDEffect
{
    Q_OBJECT
public:
    enum Solid { Sphere, Cylinder, Torus, Cube, Cone, Pyramid, Disk };
    // The pop-up's items, in index order.
    static QStringList objectNames();

    void awakeFromNib() override;
    std::unique_ptr<BaseEffect> mycopy() const override;
    std::array<float, 4> &rotationAngles() override { return m_objectRotationEFF; }

    void initEffect() override;
    void draw() override;
    void loadImage() override;
    void reloadImage() override;
    void clearEffect() override;
    void setUpControlsView() override;
    void read(const QVariantMap &settings) override;
    QVariantMap save() const override;

    void objectsInit();
    void objectsDraw();
    void redraw();

    // Plain setters used by mycopy.
    void setRotationO(const std::array<float, 4> &rotation) { m_objectRotationEFF = rotation; }
    void setObjectMode(int solid) { m_drawObj = solid; }
    int objectMode() const { return m_drawObj; }

    // The pop-up's action and its undo target.
    void changeObjectType(QWidget *sender);
    void setObjectPopup(int index, QWidget *sender);

protected:
    std::unique_ptr<BaseEffect> create() const override { return std::make_unique<ObjectEffect>(); }

private:
    std::array<float, 4> m_objectRotationEFF{};
    int m_drawObj = Sphere;
};
