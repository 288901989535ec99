#include "views/filterview.h"

#include "platform/autoresizing.h"
#include "platform/geometry.h"
#include "views/parameterview.h"

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

ParameterView *FilterView::makeRow(const QRectF &frame, unsigned mask)
{
    auto *row = new ParameterView(this);
    // The row gets its final size before the builder lays its controls out in it.
    Autoresizing::attach(row, frame, mask, QSizeF(width(), m_designHeight));
    row->show();
    return row;
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
    const int w = int(std::floor((width() - 20) * 0.5));
    if (m_lastControlType != Colour) {
        colorWellOffset = controlLeftPosition;
    } else {
        // Back up to the previous colour row's line; when that line is full, start a new one.
        m_controlTopPosition += 30;
        colorWellOffset += w;
        if (colorWellOffset > controlLeftPosition + w) {
            colorWellOffset = controlLeftPosition;
            m_controlTopPosition -= 30;
        }
    }
    mask = colorWellOffset == controlLeftPosition ? (NSViewWidthSizable | NSViewMaxXMargin | NSViewMinYMargin)
                                                  : (NSViewMinXMargin | NSViewWidthSizable | NSViewMinYMargin);
    return QRectF(colorWellOffset, m_controlTopPosition - 26, w, 26);
}

void FilterView::tryColorWellForFilter(const std::shared_ptr<imaging::Filter> &, const QString &)
{
    unsigned mask = 0;
    placeColorRow(mask);
    lowerBy(30, Colour);
}

ParameterView *FilterView::addColorWellForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    unsigned mask = 0;
    const QRectF frame = placeColorRow(mask);
    ParameterView *row = makeRow(frame, mask);
    row->addColorWellForFilter(filter, key, m_master);
    lowerBy(30, Colour);
    return row;
}

// ---- the other rows ----

void FilterView::trySliderForFilter(const std::shared_ptr<imaging::Filter> &, const QString &) { lowerBy(18, Number); }
void FilterView::tryCheckBoxForFilter(const std::shared_ptr<imaging::Filter> &, const QString &) { lowerBy(17, Flag); }
void FilterView::tryImageWellForFilter(const std::shared_ptr<imaging::Filter> &, const QString &) { lowerBy(48, ImageWell); }
void FilterView::tryTransformForFilter(const std::shared_ptr<imaging::Filter> &, const QString &) { lowerBy(68, Transform); }
void FilterView::tryVectorForFilter(const std::shared_ptr<imaging::Filter> &, const QString &) { lowerBy(17, VectorRow); }
void FilterView::tryOffsetForFilter(const std::shared_ptr<imaging::Filter> &, const QString &) { lowerBy(17, Offset); }

ParameterView *FilterView::addSliderForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    const int T = m_controlTopPosition;
    ParameterView *row = makeRow(QRectF(0, T - 18, width() - 12, 18), NSViewWidthSizable | NSViewMinYMargin);
    row->addSliderForFilter(filter, key, m_master);
    lowerBy(18, Number);
    return row;
}

ParameterView *FilterView::addCheckBoxForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    const int T = m_controlTopPosition;
    ParameterView *row = makeRow(QRectF(controlLeftPosition, T - 16, width() - 10, 16), NSViewMaxXMargin | NSViewMinYMargin);
    row->addCheckBoxForFilter(filter, key, m_master);
    lowerBy(17, Flag);
    return row;
}

ParameterView *FilterView::addImageWellForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    const int T = m_controlTopPosition;
    ParameterView *row = makeRow(QRectF(controlLeftPosition, T - 44, width() - 10, 44),
                                 NSViewWidthSizable | NSViewMaxXMargin | NSViewMinYMargin);
    row->addImageWellForFilter(filter, key, m_master);
    lowerBy(48, ImageWell);
    return row;
}

ParameterView *FilterView::addTransformForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    const int T = m_controlTopPosition;
    ParameterView *row = makeRow(QRectF(controlLeftPosition, T - 67, width() - 10, 67), NSViewWidthSizable | NSViewMinYMargin);
    row->addTransformForFilter(filter, key, m_master);
    lowerBy(68, Transform);
    return row;
}

ParameterView *FilterView::addVectorForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    const int T = m_controlTopPosition;
    ParameterView *row = makeRow(QRectF(controlLeftPosition, T - 16, width() - 10, 16), NSViewWidthSizable | NSViewMinYMargin);
    row->addVectorForFilter(filter, key, m_master);
    lowerBy(17, VectorRow);
    return row;
}

ParameterView *FilterView::addOffsetForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key)
{
    const int T = m_controlTopPosition;
    ParameterView *row = makeRow(QRectF(controlLeftPosition, T - 16, width() - 10, 16), NSViewWidthSizable | NSViewMinYMargin);
    row->addOffsetForFilter(filter, key, m_master);
    lowerBy(17, Offset);
    return row;
}
