#include "views/colorrow.h"

#include "platform/geometry.h"
#include "views/canvascontroller.h"
#include "views/colorwell.h"
#include "views/parameterview.h"

ColorRow::ColorRow(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                   CanvasController *master)
    : ParameterRow(view, filter, key, master)
{
    const double W = rowWidth();
    m_caption = makeCaption(QRectF(0, 0, W - 43, 16), captionText(true), true);
    m_well = new ColorWell(view);
    const imaging::Color c = inputValue().value<imaging::Color>();
    m_well->setColor(QColor::fromRgbF(float(c.red), float(c.green), float(c.blue), float(c.alpha)));
    place(m_well, QRectF(W - 38, 0, 38, 24), NSViewMinXMargin | NSViewWidthSizable | NSViewMinYMargin);
    connect(m_well, &ColorWell::colorChanged, this, &ColorRow::colorWellChanged);
    connect(m_well, &ColorWell::colorPreviewed, this, &ColorRow::preview);
    connect(m_well, &ColorWell::previewEnded, this, &ColorRow::endPreview);
}

void ColorRow::preview(const QColor &color)
{
    if (!m_filter || !m_master)
        return;
    if (!m_valueBeforePreview.isValid())
        m_valueBeforePreview = m_filter->value(m_key);
    float r, g, b, a;
    color.getRgbF(&r, &g, &b, &a);
    m_filter->setValue(QVariant::fromValue(imaging::Color(r, g, b, a)), m_key);
    m_master->updateView();
}

void ColorRow::endPreview()
{
    // The value from before the first preview, exactly (a colour's round trip through the well
    // would not give back the same numbers), so that undo after OK restores it.
    if (m_filter && m_valueBeforePreview.isValid())
        m_filter->setValue(m_valueBeforePreview, m_key);
    m_valueBeforePreview = QVariant();
    redraw();
}

void ColorRow::colorWellChanged()
{
    float r, g, b, a;
    m_well->color().getRgbF(&r, &g, &b, &a);
    commit(QVariant::fromValue(imaging::Color(r, g, b, a)));
    redraw();
}
