#pragma once

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSizeF>

// Keeps a child widget placed by its design frame (bottom-left coordinates) and springs-and-struts
// mask (see AutoresizingMask in geometry.h): whenever the parent is resized the child's frame is
// recomputed from the design frame and the parent size it was designed for, so repeated resizes
// never accumulate rounding errors and shrinking then growing the parent restores the layout.
//
// The attachment is a child object of the widget (it goes away with it) and filters the parent's
// resize events; reparenting the widget moves it to the new parent. It drives the widget through
// its "geometry" and "size" properties, so this layer needs no widget headers.
class Autoresizing : public QObject
{
    Q_OBJECT
public:
    // Attaches to `widget` (or updates its existing attachment) and places it at once. `frame` is
    // the child's frame inside a parent of `designParentSize`; without one, inside the parent's
    // current size. Null (and a warning) when `widget` has no writable geometry.
    static Autoresizing *attach(QObject *widget, const QRectF &frame, unsigned mask,
                                const QSizeF &designParentSize = QSizeF());
    static Autoresizing *of(const QObject *widget);

    // Moves the child: `frame` is relative to the parent's current size.
    void setFrame(const QRectF &frame);
    void setAutoresizingMask(unsigned mask);
    unsigned autoresizingMask() const { return m_mask; }
    // The child's bottom-left frame for the parent's current size.
    QRectF frame() const;
    // Places the child for the parent's current size.
    void apply();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit Autoresizing(QObject *widget);
    QSizeF parentSize() const;
    void watchParent();

    QObject *m_widget;
    QPointer<QObject> m_watchedParent;
    QRectF m_frame;
    QSizeF m_referenceParentSize;
    unsigned m_mask = 0;
};
