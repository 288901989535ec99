#pragma once

#include "effects/baseeffect.h"
#include "effects/drawnsetting.h"

#include <QColor>
#include <QSizeF>
#include <QStringList>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

class PanelRows;

// What all drawn effects share: the background switch, colour and opacity; a rendering made by
// makeImageEffect and composed with the image in getDrawImage; and the list of settings (one
// DrawnSetting per parameter) from which the defaults, the copy, the stored settings, the control
// panel and the undoable parameter changes are made.
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

    // The random numbers of the drawing routines: the C library's rand() and random(), in the
    // order the routines call them. A new arrangement draws from the generators and records what
    // it drew; the same arrangement drawn again at another size (full size for Apply, Save and
    // Copy after a rendering at the canvas's size, a closer zoom) replays the record, so that what
    // is written is what the canvas showed.
    static int drawRand();
    static long drawRandom();
    // A unit random number from rand(): 15 bits over 0 to 1.
    static double unitRandom() { return (drawRand() & 0x7FFF) / 32767.0; }
    // Runs a drawing of many small shapes on a pool thread (see runOnPoolThread), taking along the
    // record or replay of the random numbers that the rendering under way uses on this thread.
    static void drawOnPoolThread(const std::function<void()> &paint);

    void initEffect() override;
    void clearEffect() override;
    void loadImage() override;
    void reloadImage() override;
    void clearFilter();
    // The composition at full size. A rendering kept below full size is drawn again at full size
    // (the same arrangement) into a picture of its own: nothing the canvas paints from is written,
    // so Apply and Save run this off the interface thread while the window keeps painting.
    QImage getDrawImage() override;
    bool composesOffThread() const override { return true; }
    bool drawComposition(QPainter &painter, const QRectF &target, const QRectF &source) override;

    // The effect's parameters, in the order of their control rows. The five uses of the list:
    // awakeFromNib gives every member its default (setDefaults), mycopy copies the members, save
    // and read store them, and setUpControlsView builds the rows, whose actions are changeSetting.
    virtual std::vector<DrawnSetting> settings() const { return {}; }
    std::unique_ptr<BaseEffect> mycopy() const override;
    void read(const QVariantMap &settings) override;
    QVariantMap save() const override;
    // Without a row that has a control the panel is left as it is.
    void setUpControlsView() override;

    // A setting's current value, in the member's own type; null for an unknown key.
    QVariant settingValue(const QString &key) const;
    // The action pair behind every control. The control action reads the control, the set action
    // (undo and redo) takes the value and moves the control to it; both record the old value as an
    // undo step, store the new one and re-render or only recompose, as the setting says.
    void changeSetting(const QString &key, QWidget *sender);
    void setSetting(const QString &key, const QVariant &value, QWidget *sender);

    // Draws a new rendering of the effect: at full size, or at the canvas's display size while the
    // anchor or a control is dragged (getDrawImage, which Apply, Save and Copy use, renders at full
    // size again).
    virtual void makeImageEffect();
    // The zoom at which the canvas shows the picture; a rendering drawn for a smaller one is drawn
    // again (see makeImageEffect).
    void setDisplayScale(double scale) override;
    void prepareFullSize() override;
    void beginContinuousChange() override;
    void endContinuousChange() override;
    // The "Generate" button: a new rendering (new random numbers), then a redraw of the canvas.
    virtual void regenerate();

    // Plain setters.
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

    // The common parameters' action pairs (they only recompose).
    void changeBgColor(QWidget *sender) { changeSetting(QStringLiteral("bgColor"), sender); }
    void setchangeBgColor(QColor color, QWidget *sender) { setSetting(QStringLiteral("bgColor"), color, sender); }
    void useBgImage(QWidget *sender) { changeSetting(QStringLiteral("useBackImage"), sender); }
    void setuseBgImage(bool on, QWidget *sender) { setSetting(QStringLiteral("useBackImage"), on, sender); }
    void changeOpacity(QWidget *sender) { changeSetting(QStringLiteral("opacity"), sender); }
    void setchangeOpacity(float opacity, QWidget *sender) { setSetting(QStringLiteral("opacity"), opacity, sender); }

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
    // The share of the canvas's resolution drawn while the anchor or a control moves: below 1 for
    // drawings whose fills cost more than a frame at the canvas's size. The end of the gesture
    // draws at the canvas's size again.
    virtual double dragDetail() const { return 1.0; }
    // Replaces the rendering with one of `pixelSize` drawn by drawMyself and shown over `logicalSize`
    // image pixels. drawMyself draws over `pixelSize`, or over `drawingSize` scaled down to
    // `pixelSize` when that is given. An impossible size leaves no rendering (and a log line).
    void renderEffect(const QSize &pixelSize, const QSizeF &logicalSize, const QSizeF &drawingSize = QSizeF());
    // A rendering as renderEffect makes it, returned instead of kept; `sameArrangement` replays the
    // random numbers of the last new arrangement instead of drawing new ones. Null when the size is
    // impossible.
    QImage drawRendering(const QSize &pixelSize, const QSizeF &drawingSize, bool sameArrangement);
    // After a parameter change: re-render when the drawing depends on it, then ask for a redraw.
    void parameterChanged(bool rerender);
    static void postUpdate();

    // Gives every setting of the list its default.
    void setDefaults();
    // A member of this class or of a derived one, as a setting's member. The effect the list
    // belongs to is always of that derived class, which makes the conversion safe.
    template <class E, class T>
    static DrawnSetting::Member member(T E::*field)
    {
        return static_cast<T DrawnEffect::*>(field);
    }
    // The three settings every drawn effect starts with: the background colour, the background image
    // switch and the opacity, with this effect's defaults, opacity label and rows.
    static std::vector<DrawnSetting> commonSettings(const QColor &bgColor, float opacity, const QString &opacityLabel,
                                                    double colorY = 196, double imageY = 167, double opacityY = 142);
    // The "Generate" button's row.
    static DrawnSetting generateButton(double y);

    // Clears the panel and gives it the border; false when there is no panel.
    bool beginControls();
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
    // The last rendering was made below full size (for a drag, or for a large picture), at this
    // scale.
    bool m_reducedForDrag = false;
    double m_renderedScale = 1;
    bool m_finerPending = false;
    // getDrawImage is rendering the full size for Apply, Save or Copy.
    bool m_fullSizeWanted = false;
    // The next renderings draw the arrangement shown again, at another size.
    bool m_sameArrangement = false;
    // getDrawImage is running (possibly on another thread): the canvas's finer re-rendering waits.
    std::atomic<bool> m_composing{false};
    // The random numbers the last new arrangement drew, in order.
    std::vector<long> m_arrangement;
    // Pictures above this many pixels are rendered at the canvas's size for every change.
    static constexpr double largePicturePixels = 4e6;
    bool isLarge() const
    {
        const QSize size = renderSize();
        return double(size.width()) * size.height() > largePicturePixels;
    }

    bool m_useBackImage = true;
    QImage m_effectImage;
    QSizeF m_effectImageSize;
    QColor m_bgColor = QColor::fromRgbF(1, 1, 1, 0.5);
    float m_opacity = 50;
    // Stretch the rendering smoothly (drawn lines, gradients) or as blocks (a pixel tile).
    bool m_smoothStretch = true;

    // The panel's design height: the rows' y values are measured from its bottom.
    static constexpr double panelHeight = 225;

private:
    // The finer re-rendering after a zoom-in, on the interface thread.
    void drawFiner();
    // Paints the part `source` of the composition with `effect` as the rendering.
    void compose(QPainter &painter, const QRectF &target, const QRectF &source, const QImage &effect) const;
    // The picture to draw the part `source` of it from into `deviceWidth` device pixels: the
    // picture itself, or at half its size or less a halved copy (each level half the one before,
    // made on first use), with `source` in that copy's pixels.
    std::pair<QImage, QRectF> backgroundFor(const QRectF &source, double deviceWidth) const;
    // The set action's work; the control action has read the value from `sender`, the set action
    // moves `sender` to it.
    void storeSetting(const DrawnSetting &s, const QVariant &value, QWidget *sender, bool moveControl);

    // The halved copies of the picture whose cache key they hold.
    mutable std::mutex m_backLevelsMutex;
    mutable qint64 m_backLevelsKey = 0;
    mutable std::vector<QImage> m_backLevels;
};
