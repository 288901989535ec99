#include "views/drophighlight.h"

#include <QPainter>
#include <QPen>

DropHighlight::DropHighlight(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
}

void DropHighlight::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal width = 4;
    p.setPen(QPen(QColor::fromRgbF(0.99f, 0.94f, 0.74f, 0.8f), width));
    p.drawRect(QRectF(rect()).adjusted(width / 2, width / 2, -width / 2, -width / 2));
}
