#include "views/flagrow.h"

#include "platform/geometry.h"
#include "views/parameterview.h"

#include <QCheckBox>

FlagRow::FlagRow(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                 CanvasController *master)
    : ParameterRow(view, filter, key, master)
{
    m_checkBox = new QCheckBox(captionText(true), view);
    m_checkBox->setFont(smallFont(m_checkBox->font(), 9));
    m_checkBox->setChecked(inputValue().toBool());
    place(m_checkBox, QRectF(76, 0, 155, 16), NSViewMaxXMargin | NSViewMinYMargin);
    connect(m_checkBox, &QCheckBox::toggled, this, &FlagRow::checkBoxChanged);
}

void FlagRow::checkBoxChanged()
{
    commit(m_checkBox->checkState() == Qt::Checked);
    redraw();
}
