#pragma once

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QVariantMap>
#include <QWidget>

#include <functional>
#include <memory>

class CanvasController;
class QPainter;
class UndoManager;

// The base of every drawn effect and of both 3D effects. The controller keeps one prototype per
// effect and works on a copy (mycopy) of the selected one. Coordinates handed to the mouse calls and
// kept in the anchor point are image coordinates with the origin at the bottom left, y up.
//
// An effect is a QObject so that the connections from its controls end when it goes away, even if
// the panel outlives it.
class BaseEffect : public QObject
{
    Q_OBJECT
public:
    BaseEffect();
    ~BaseEffect() override;

    // The window's controller, which gives the current image and the undo manager. The effects layer
    // cannot see the application layer, so the controller registers itself here at start-up.
    static CanvasController *mainController();
    static void setMainController(CanvasController *controller);
    // The controller's undo manager, while it exists.
    static UndoManager *undoManager();

    QString myname() const { return name; }
    QString tips() const { return m_tips; }
    void setName(const QString &text) { name = text; }
    void setTips(const QString &text) { m_tips = text; }
    virtual bool isMousing() const { return false; }

    // Sets the name, the tips and the default parameters of a prototype.
    virtual void awakeFromNib() {}

    // Removes every control from the panel.
    void clearTopControlsView();
    void setTopControlsView(QWidget *panel) { topControlsView = panel; }
    QWidget *getTopControlsView() const { return topControlsView; }

    virtual void initEffect() {}
    // Drops what the effect has drawn and the controls it has shown.
    virtual void clearEffect() {}
    // A new object of the same class sharing name, tips and panel.
    std::unique_ptr<BaseEffect> copyWithZone() const;
    // A copy with all the parameters; each effect extends it.
    virtual std::unique_ptr<BaseEffect> mycopy() const { return copyWithZone(); }

    virtual void draw() {}
    virtual void mouseDown(QPointF) {}
    virtual void mouseUp(QPointF) {}
    virtual void mouseDragged(QPointF) {}
    // How many screen pixels the canvas shows per image pixel: an effect that re-renders while the
    // mouse drags may render at that size, and renders at full size again on release.
    virtual void setDisplayScale(double) {}
    // Makes the full-size rendering now, on this thread, where the effect keeps a reduced one (for
    // a drag or a large picture): getDrawImage then only composes, and may run on another thread.
    virtual void prepareFullSize() {}
    // A continuous change through a control begins or ends (a slider dragged from press to release,
    // colours tried in the colour dialog): an effect that re-renders for every step may render at
    // the canvas's display size meanwhile, and renders at full size again when it ends.
    virtual void beginContinuousChange() {}
    virtual void endContinuousChange() {}
    virtual void setUpControlsView() {}
    virtual void loadImage() {}
    // The current image changed: the effect reloads it and redraws.
    virtual void reloadImage() {}
    QPointF startPoint() const { return m_startPT; }
    void setStartPoint(QPointF p) { m_startPT = p; }
    // The anchor's "not placed yet" coordinate. Effects that draw around the anchor start with it
    // and place the anchor at the middle of their first rendering.
    static constexpr double unsetCoordinate = -11000;
    // Whether the anchor is still unset: any coordinate below -10000 counts, whatever was stored.
    bool anchorIsUnset() const { return m_startPT.x() < -10000 || m_startPT.y() < -10000; }

    // Effect settings: the base keys "Name", "Tips", "startPT.x", "startPT.y" and "class".
    virtual void read(const QVariantMap &settings);
    virtual QVariantMap save() const;

    // The effect's picture composed over the current image, at the image's size (null when there is
    // nothing to show).
    virtual QImage getDrawImage() { return m_image; }
    // getDrawImage of an initialised effect writes nothing the canvas paints from, so it may run
    // on another thread while the window paints.
    virtual bool composesOffThread() const { return false; }
    // Paints the part `source` (image pixels, top-left origin) of what getDrawImage would return into
    // `target`, without composing the whole picture; false when the effect has nothing to show.
    // The canvas uses it so that a redraw only composes the visible area.
    virtual bool drawComposition(QPainter &, const QRectF &, const QRectF &) { return false; }

    // Runs `change` without recording undo steps (a value only being previewed, such as a colour
    // tried in the colour dialog).
    void withoutUndo(const std::function<void()> &change)
    {
        const bool recording = m_recordUndo;
        m_recordUndo = false;
        change();
        m_recordUndo = recording;
    }

    bool isInitialised() const { return wasInit; }
    // Marks the effect as rendered, for callers that ran loadImage and makeImageEffect themselves
    // (timing a rendering), so that getDrawImage composes that rendering instead of a new one.
    void markInitialised() { wasInit = true; }
    QImage loadedImage() const { return m_image; }

protected:
    // A plain new object of the receiver's own class.
    virtual std::unique_ptr<BaseEffect> create() const = 0;
    // Records `action` in the controller's undo manager with this effect as target; nothing without
    // a controller (the value is then applied without an undo step).
    void registerUndo(std::function<void()> action);
    // The controller's current image as a bitmap; null without a controller or image.
    static QImage currentImage();

    bool wasInit = false;
    // Off while a value is only being previewed (a colour tried in the colour dialog).
    bool m_recordUndo = true;
    QString name;
    QString m_tips;
    QPointer<QWidget> topControlsView;
    QImage m_image;
    bool gTrackball = false;
    QPointF m_startPT;
};
