#pragma once

#include "effects/baseeffect.h"

#include <QColor>
#include <QSizeF>
#include <QStringList>

#include <cstdlib>
#include <functional>

class ColorWell;
class PanelRows;
class FloatSlider;
class QCheckBox;
class QComboBox;
class QSlider;

// What all drawn effects share: the background switch, colour and opacity; a rendering made by
// makeImageEffect and composed with the image in getDrawImage; undoable parameter changes made
// through a pair of actions per parameter (one for the control, one for undo and redo); and the
// row layout of the control panel.
//
// Drawing routines paint in image coordinates with the origin at the bottom left and y up, the
// same coordinates as the mouse points and the anchor.
class DrawnEffect : public BaseEffect
{
    Q_OBJECT
public:
    // The rendering size used when there is no image.
    static constexpr int defaultWidth = 726;
    static constexpr int defaultHeight = 544;

    // A unit random number from the C library's rand(): 15 bits over 0 to 1.
    static double unitRandom() { return (std::rand() & 0x7FFF) / 32767.0; }

    void initEffect() override;
    void clearEffect() override;
    void loadImage() override;
    void reloadImage() override;
    void clearFilter();
    QImage getDrawImage() override;
    bool drawComposition(QPainter &painter, const QRectF &target, const QRectF &source) override;
    void read(const QVariantMap &settings) override;
    QVariantMap save() const override;

    // Draws a new rendering of the effect: at full size, or at the canvas's display size while the
    // anchor or a control is dragged (getDrawImage, which Apply, Save and Copy use, renders at full
    // size again).
    virtual void makeImageEffect();
    void setDisplayScale(double scale) override { m_displayScale = scale; }
    void beginContinuousChange() override;
    void endContinuousChange() override;
    // The "Generate" button: a new rendering (new random numbers), then a redraw of the canvas.
    virtual void regenerate();

    // Plain setters used by mycopy and the settings.
    void setUseBackImage(bool on) { m_useBackImage = on; }
    void setBgColor(const QColor &color) { m_bgColor = color; }
    void seOpacity(float opacity) { m_opacity = opacity; }

    bool useBackImage() const { return m_useBackImage; }
    QColor bgColor() const { return m_bgColor; }
    float opacity() const { return m_opacity; }
    // The last rendering (its pixel size may be smaller than effectImageSize) and the size in image
    // pixels it covers.
    QImage effectImage() const { return m_effectImage; }
    QSizeF effectImageSize() const { return m_effectImageSize; }
    // The size of the image the effect renders for: the image's, or 726 x 544 without one.
    QSize renderSize() const;

    // The common parameters' action pairs: the control action reads the control, the set action
    // (undo and redo) writes it. Both record the old value as an undo step and only recompose.
    void changeBgColor(QWidget *sender);
    void setchangeBgColor(QColor color, QWidget *sender);
    void useBgImage(QWidget *sender);
    void setuseBgImage(bool on, QWidget *sender);
    void changeOpacity(QWidget *sender);
    void setchangeOpacity(float opacity, QWidget *sender);

    // The undo target of anchor moves: records the current anchor, then moves it to `point`.
    void setPositionUNDO(QPointF point);

    // Control values, read and written as the actions need them.
    static int intValue(QWidget *control);
    static double floatValue(QWidget *control);
    static bool state(QWidget *control);
    static QColor color(QWidget *control);
    // Moves a control to the value without making it report a change.
    static void setControlValue(QWidget *control, const QVariant &value);

protected:
    // Paints the effect into the rendering over `rect` (origin (0, 0), y up).
    virtual void drawMyself(QPainter &painter, const QRectF &rect) = 0;
    // Replaces the rendering with one of `pixelSize` drawn by drawMyself and shown over `logicalSize`
    // image pixels. drawMyself draws over `pixelSize`, or over `drawingSize` scaled down to
    // `pixelSize` when that is given. An impossible size leaves no rendering (and a log line).
    void renderEffect(const QSize &pixelSize, const QSizeF &logicalSize, const QSizeF &drawingSize = QSizeF());
    // Copies the common parameters into a copy of this effect.
    void copyCommonInto(DrawnEffect &copy) const;
    // After a parameter change: re-render when the drawing depends on it, then ask for a redraw.
    void parameterChanged(bool rerender);
    static void postUpdate();

    // The two halves of every action pair. The control action records the old value, stores the
    // new one read from the control; the set action does the same with the given value and moves
    // the control to it. `set` is the set action, which undo calls with the old value.
    template <class E, class T>
    void controlAction(E *self, T &field, T newValue, void (E::*set)(T, QWidget *), QWidget *sender, bool rerender)
    {
        recordOld(self, field, set, sender);
        field = newValue;
        parameterChanged(rerender);
    }
    template <class E, class T>
    void setAction(E *self, T &field, T value, void (E::*set)(T, QWidget *), QWidget *sender, bool rerender)
    {
        recordOld(self, field, set, sender);
        field = value;
        setControlValue(sender, QVariant::fromValue(value));
        parameterChanged(rerender);
    }
    template <class E, class T>
    void recordOld(E *self, const T &field, void (E::*set)(T, QWidget *), QWidget *sender)
    {
        // The control may be gone by the time the step is undone (another panel was built); the
        // value is then still restored.
        registerUndo([self, set, old = field, control = QPointer<QWidget>(sender)] { (self->*set)(old, control.data()); });
    }

    // Panel rows (frames in the panel's bottom-left coordinates, kept at the top-left when the
    // panel grows). Each returns the new control, or null when there is no panel.
    bool beginControls();
    void addLabel(const QString &text, double y);
    ColorWell *addColorWell(const QString &label, double y, const QColor &value, std::function<void(QWidget *)> action);
    QCheckBox *addCheckBox(const QString &label, double y, bool value, std::function<void(QWidget *)> action);
    QSlider *addSlider(const QString &label, double y, int min, int max, int value, bool continuous,
                       std::function<void(QWidget *)> action);
    FloatSlider *addFloatSlider(const QString &label, double y, double min, double max, double value,
                                bool continuous, std::function<void(QWidget *)> action);
    QComboBox *addPopUp(const QString &label, double labelY, const QRectF &frame, const QStringList &items,
                        int index, std::function<void(QWidget *)> action);
    void addGenerateButton(double y);
    // The three rows every drawn effect starts with (colour, background image, opacity).
    void addCommonRows(double colorY, double imageY, double opacityY, const QString &opacityLabel);
    void placeControl(QWidget *control, const QRectF &frame, unsigned mask);
    // The row layout of the drawn effects' panels: labels 120 wide at x 10, controls at x 140.
    PanelRows rows();

    // Dragging the anchor: a press records the anchor for undo without moving it, drags move it and
    // redraw, the release records it again and moves it. The window groups everything recorded from
    // press to release into one step, so undo brings the anchor back to where the press found it.
    void anchorDown();
    void anchorDragged(QPointF point);
    void anchorUp(QPointF point);
    // A press on the canvas is in progress.
    bool m_mouseMoved = false;
    double m_displayScale = 1;
    // A control is being dragged (beginContinuousChange to endContinuousChange).
    bool m_controlDragged = false;
    // The last rendering was made below full size for a drag.
    bool m_reducedForDrag = false;

    bool m_useBackImage = true;
    QImage m_effectImage;
    QSizeF m_effectImageSize;
    QColor m_bgColor = QColor::fromRgbF(1, 1, 1, 0.5);
    float m_opacity = 50;
    // Stretch the rendering smoothly (drawn lines, gradients) or as blocks (a pixel tile).
    bool m_smoothStretch = true;

    // The panel's design height: the rows' y values are measured from its bottom.
    static constexpr double panelHeight = 225;
};
