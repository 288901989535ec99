#include "app/undogesturefilter.h"

#include "platform/undomanager.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

UndoGestureFilter::UndoGestureFilter(QWidget *window, UndoManager *undo)
    : QObject(window), m_window(window), m_undo(undo)
{
    // Application-wide, because mouse events go to the widget under the cursor, not to the window.
    qApp->installEventFilter(this);
}

UndoGestureFilter::~UndoGestureFilter()
{
    endGesture();
}

void UndoGestureFilter::beginGesture()
{
    if (m_open || !m_undo)
        return;
    m_undo->beginUndoGrouping();
    m_open = true;
}

void UndoGestureFilter::endGesture()
{
    m_endQueued = false;
    if (!m_open)
        return;
    m_open = false;
    if (m_undo)
        m_undo->endUndoGrouping();
}

bool UndoGestureFilter::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseButtonRelease)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    // Qt delivers a mouse event to the window handle first and then to the widget; count it once.
    if (!widget)
        return false;
    if (type == QEvent::MouseButtonRelease) {
        // The gesture ends once every button is up, after the widget has handled the release.
        if (m_open && !m_endQueued && static_cast<QMouseEvent *>(event)->buttons() == Qt::NoButton) {
            m_endQueued = true;
            const quint64 generation = ++m_generation;
            QMetaObject::invokeMethod(
                this,
                [this, generation] {
                    if (m_endQueued && generation == m_generation)
                        endGesture();
                },
                Qt::QueuedConnection);
        }
        return false;
    }
    if (!m_window || widget->window() != m_window)
        return false;
    // A press that comes before the previous gesture's end was processed (a quick second click)
    // starts a gesture of its own: the previous release has been handled already.
    if (m_endQueued)
        endGesture();
    beginGesture();
    return false;
}
