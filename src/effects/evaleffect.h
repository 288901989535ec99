#pragma once

#include "effects/threedeffect.h"

#include <array>

// "Surface Rotate": the current image laid over a curved sheet, a surface that is straight in one
// direction (u) and a quadratic Bezier curve in the other (v), drawn through OpenGL's evaluators.
// Two sliders move the middle of each bent edge; the sheet turns by dragging. Without an image the
// sheet shows a red and white checker.
class EvalEffect : public ThreeDEffect
{
    Q_OBJECT
public:
    // OpenGL's texture environment modes, as the settings store them.
    static constexpr float decalMode = 8449.0f;    // GL_DECAL: the picture unchanged
    static constexpr float modulateMode = 8448.0f; // GL_MODULATE: the picture times the sheet's colours
    // Steps of the grid walk in u and v.
    static constexpr float stepU = 0.05f;
    static constexpr float stepV = 0.033333335f;

    void awakeFromNib() override;
    std::unique_ptr<BaseEffect> mycopy() const override;
    std::array<float, 4> &rotationAngles() override { return m_objectRotation; }

    void initEffect() override;
    void draw() override;
    void clearEffect() override;
    void setUpControlsView() override;
    void read(const QVariantMap &settings) override;
    QVariantMap save() const override;

    // Frame steps: the evaluator maps and texture mode, the frame, the sheet, the grid walk.
    void evalInit();
    void evalDraw();
    void RenderEval();
    void DrawMapEval2(float du, float dv);

    // Plain setters used by mycopy.
    void setRotationE(const std::array<float, 4> &rotation) { m_objectRotation = rotation; }
    void setFilledMode(int filled) { m_polygonFilled = filled; }
    void setPoints2(const std::array<double, 24> &points) { m_point2 = points; }
    void setDecalMode(float mode) { m_decal = mode; }
    void setDecalColor(const std::array<float, 4> &color) { m_decalColor = color; }

    const std::array<double, 24> &points() const { return m_point2; }
    int polygonFilled() const { return m_polygonFilled; }
    float decal() const { return m_decal; }
    std::array<float, 4> decalColor() const { return m_decalColor; }

    // Parameter actions: the control action reads the control, the set action (undo and redo)
    // moves it. Each records the old value as an undo step and asks for a redraw.
    void changepoint5(QWidget *sender);
    void changepoint17(QWidget *sender);
    void setPoints(double value, int idx, QWidget *sender);
    void changepoligonFilled(QWidget *sender);
    void setpolygonFilled(int filled, QWidget *sender);
    void changeDecal(QWidget *sender);
    void changeM_Decal(float mode, QWidget *sender);
    void changeDecalColor(QWidget *sender);
    void setDecalColor(QColor color, QWidget *sender);

protected:
    std::unique_ptr<BaseEffect> create() const override { return std::make_unique<EvalEffect>(); }

private:
    void changePoint(int idx, QWidget *sender);

    std::array<float, 4> m_objectRotation{};
    // Stored with the settings, not used in drawing.
    std::array<float, 4> m_borderColor{};
    int m_borderSize = 0;
    int m_polygonFilled = 0;
    // Six control points of four values (x, y, z and an unused fourth): rows (P0, P1, P2) and
    // (P3, P4, P5). Element 5 (y of P1) and element 17 (y of P4) bend the two curved edges.
    std::array<double, 24> m_point2{};
    float m_decal = decalMode;
    std::array<float, 4> m_decalColor{};
};
