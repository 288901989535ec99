#include "views/effectstackbox.h"

bool EffectStackBox::drawsBorder() const
{
    const auto rows = findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    if (rows.isEmpty())
        return false;
    return !rows.first()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly).isEmpty();
}

void EffectStackBox::paintEvent(QPaintEvent *event)
{
    if (drawsBorder())
        MyBorderView::paintEvent(event);
}
