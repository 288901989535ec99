#include "views/filterview.h"

#include "platform/autoresizing.h"
#include "platform/geometry.h"
#include "views/parameterview.h"
#include "views/rowkinds.h"

#include <QLabel>

#include <cmath>

FilterView::FilterView(const QRectF &frame, QWidget *parent)
    : EffectStackBox(parent)
{
    resize(int(frame.width()), int(frame.height()));
    m_designHeight = int(frame.height());
    m_controlTopPosition = m_designHeight;
    m_lowestPosition = m_controlTopPosition;
}

int FilterView::neededHeight() const
{
    // Four points of margin under the lowest row.
    const int margin = 4;
    // Positions are relative to the height the box was made with, not to its current height (the
    // box grows with the area it fills).
    return m_lowestPosition < margin ? m_designHeight + (margin - m_lowestPosition) : m_designHeight;
}

QList<ParameterView *> FilterView::rows() const
{
    return findChildren<ParameterView *>(QString(), Qt::FindDirectChildrenOnly);
}

void FilterView::lowerBy(int step, int kind)
{
    m_controlTopPosition -= step;
    m_lastControlType = kind;
    m_lowestPosition = std::min(m_lowestPosition, m_controlTopPosition);
}

// ---- header and trim ----

void FilterView::tryFilterHeader(const std::shared_ptr<imaging::Filter> &)
{
    m_controlTopPosition = m_designHeight - 46;
}

void FilterView::trimBox()
{
    m_controlTopPosition -= 3;
    m_lastControlType = None;
}

void FilterView::addFilterHeader(const std::shared_ptr<imaging::Filter> &, int, bool)
{
    // The building pass starts 10 points below the top edge, whatever the measuring pass found.
    m_controlTopPosition = m_designHeight - 10;
    m_lowestPosition = m_controlTopPosition;
}

// ---- colour rows: two to a line ----

QRectF FilterView::placeColorRow(unsigned &mask)
{
    const RowKind &colour = *rowKind(Colour);
    const int w = int(std::floor((width() - 20) * 0.5));
    if (m_lastControlType != Colour) {
        colorWellOffset = controlLeftPosition;
    } else {
        // Back up to the previous colour row's line; when that line is full, start a new one.
        m_controlTopPosition += colour.step;
        colorWellOffset += w;
        if (colorWellOffset > controlLeftPosition + w) {
            colorWellOffset = controlLeftPosition;
            m_controlTopPosition -= colour.step;
        }
    }
    mask = colorWellOffset == controlLeftPosition ? (NSViewWidthSizable | NSViewMaxXMargin | NSViewMinYMargin)
                                                  : (NSViewMinXMargin | NSViewWidthSizable | NSViewMinYMargin);
    return QRectF(colorWellOffset, m_controlTopPosition - colour.height, w, colour.height);
}

// ---- rows by kind ----

void FilterView::tryRow(ControlType kind)
{
    const RowKind *k = rowKind(kind);
    if (!k)
        return;
    unsigned mask = 0;
    if (kind == Colour)
        placeColorRow(mask);
    lowerBy(k->step, kind);
}

ParameterView *FilterView::addRow(ControlType kind, const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    const RowKind *k = rowKind(kind);
    if (!k)
        return nullptr;
    unsigned mask = k->mask;
    const QRectF frame = kind == Colour
        ? placeColorRow(mask)
        : QRectF(k->atLeftEdge ? 0 : controlLeftPosition, m_controlTopPosition - k->height, width() - k->widthInset,
                 k->height);
    auto *row = new ParameterView(this);
    // The row gets its final size before the builder lays its controls out in it.
    Autoresizing::attach(row, frame, mask, QSizeF(width(), m_designHeight));
    row->show();
    row->buildRow(kind, filter, key, m_master);
    lowerBy(k->step, kind);
    return row;
}

void FilterView::trySliderForFilter(const std::shared_ptr<imaging::Filter> &, const QString &) { tryRow(Number); }
void FilterView::tryCheckBoxForFilter(const std::shared_ptr<imaging::Filter> &, const QString &) { tryRow(Flag); }
void FilterView::tryColorWellForFilter(const std::shared_ptr<imaging::Filter> &, const QString &) { tryRow(Colour); }
void FilterView::tryImageWellForFilter(const std::shared_ptr<imaging::Filter> &, const QString &) { tryRow(ImageWell); }
void FilterView::tryTransformForFilter(const std::shared_ptr<imaging::Filter> &, const QString &) { tryRow(Transform); }
void FilterView::tryVectorForFilter(const std::shared_ptr<imaging::Filter> &, const QString &) { tryRow(VectorRow); }
void FilterView::tryOffsetForFilter(const std::shared_ptr<imaging::Filter> &, const QString &) { tryRow(Offset); }

ParameterView *FilterView::addSliderForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    return addRow(Number, filter, key);
}

ParameterView *FilterView::addCheckBoxForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    return addRow(Flag, filter, key);
}

ParameterView *FilterView::addColorWellForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    return addRow(Colour, filter, key);
}

ParameterView *FilterView::addImageWellForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    return addRow(ImageWell, filter, key);
}

ParameterView *FilterView::addTransformForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    return addRow(Transform, filter, key);
}

ParameterView *FilterView::addVectorForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    return addRow(VectorRow, filter, key);
}

ParameterView *FilterView::addOffsetForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    return addRow(Offset, filter, key);
}
