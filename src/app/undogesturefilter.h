#pragma once

#include <QObject>
#include <QPointer>

class UndoManager;
class QWidget;

// Makes one mouse gesture one undo step. Every undo registration made between a mouse press in the
// window and the release of the last button (a slider drag, a handle dragged on the canvas, a 3D
// drag, an anchor moved in the custom canvas) joins one explicit undo group, whatever widget made
// it. Without this, each mouse move would become a step of its own, because the undo manager closes
// its implicit group whenever control returns to the event loop.
//
// The group is closed after the release has been handled (so a change made on release, such as a
// slider that reports only when let go, joins it), when a release arrives in another window (a
// pop-up that took the mouse), and when the filter goes away. Keyboard changes are untouched: each
// key press stays one step.
class UndoGestureFilter : public QObject
{
    Q_OBJECT
public:
    // Watches mouse presses in `window` (and its child widgets) on behalf of `undo`.
    UndoGestureFilter(QWidget *window, UndoManager *undo);
    ~UndoGestureFilter() override;

    bool isGestureOpen() const { return m_open; }
    // Closes the gesture's group now (undo and redo do this first, so that a step asked for while a
    // button is still held is not refused).
    void endGesture();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void beginGesture();

    QPointer<QWidget> m_window;
    QPointer<UndoManager> m_undo;
    bool m_open = false;
    bool m_endQueued = false;
    quint64 m_generation = 0;
};
