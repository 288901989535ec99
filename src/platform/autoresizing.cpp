#include "autoresizing.h"

#include "geometry.h"

#include <QDebug>
#include <QEvent>
#include <QMetaProperty>
#include <QSize>

Autoresizing::Autoresizing(QObject *widget) : QObject(widget), m_widget(widget)
{
    widget->installEventFilter(this); // to follow reparenting
    watchParent();
}

Autoresizing *Autoresizing::attach(QObject *widget, const QRectF &frame, unsigned mask,
                                   const QSizeF &designParentSize)
{
    if (!widget) return nullptr;
    const QMetaObject *meta = widget->metaObject();
    const int geometry = meta->indexOfProperty("geometry");
    if (geometry < 0 || !meta->property(geometry).isWritable()) {
        qWarning() << "Autoresizing: cannot place" << widget << "(no writable geometry)";
        return nullptr;
    }
    Autoresizing *attachment = of(widget);
    if (!attachment) attachment = new Autoresizing(widget); // owned by the widget
    attachment->m_frame = frame;
    attachment->m_mask = mask;
    attachment->m_referenceParentSize =
        designParentSize.isValid() ? designParentSize : attachment->parentSize();
    attachment->apply();
    return attachment;
}

Autoresizing *Autoresizing::of(const QObject *widget)
{
    return widget ? widget->findChild<Autoresizing *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void Autoresizing::setFrame(const QRectF &frame)
{
    m_frame = frame;
    m_referenceParentSize = parentSize();
    apply();
}

void Autoresizing::setAutoresizingMask(unsigned mask)
{
    // Later resizes start from where the child is now, under the new rule.
    m_frame = frame();
    m_referenceParentSize = parentSize();
    m_mask = mask;
}

QRectF Autoresizing::frame() const
{
    const QSizeF current = parentSize();
    if (!current.isValid() || !m_referenceParentSize.isValid()) return m_frame;
    return Geometry::resizedFrame(m_frame, m_referenceParentSize, current, m_mask);
}

void Autoresizing::apply()
{
    const QSizeF current = parentSize();
    if (!current.isValid()) return; // no parent yet: placed when it gets one
    if (!m_referenceParentSize.isValid()) m_referenceParentSize = current;
    m_widget->setProperty("geometry", Geometry::widgetGeometry(frame(), current.height()));
}

QSizeF Autoresizing::parentSize() const
{
    const QObject *parent = m_widget->parent();
    if (!parent) return QSizeF();
    const QVariant size = parent->property("size");
    return size.canConvert<QSize>() ? QSizeF(size.toSize()) : QSizeF();
}

void Autoresizing::watchParent()
{
    if (m_watchedParent) m_watchedParent->removeEventFilter(this);
    m_watchedParent = m_widget->parent();
    if (m_watchedParent) m_watchedParent->installEventFilter(this);
}

bool Autoresizing::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watchedParent && event->type() == QEvent::Resize) {
        apply();
    } else if (watched == m_widget && event->type() == QEvent::ParentChange) {
        // The frame keeps its meaning inside the new parent at that parent's current size.
        m_frame = frame();
        watchParent();
        m_referenceParentSize = parentSize();
        apply();
    }
    return QObject::eventFilter(watched, event);
}
