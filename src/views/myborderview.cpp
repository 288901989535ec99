#include "views/myborderview.h"

#include <QPainter>
#include <QPen>

MyBorderView::MyBorderView(QWidget *parent)
    : QWidget(parent)
{
}

void MyBorderView::setBorderColor(const QColor &color)
{
    if (color == bgColor)
        return;
    bgColor = color;
    update();
}

void MyBorderView::setLineWidth(float width)
{
    if (width == m_lineWidth)
        return;
    m_lineWidth = width;
    update();
}

void MyBorderView::paintEvent(QPaintEvent *)
{
    drawBorder();
}

void MyBorderView::drawBorder()
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(bgColor, m_lineWidth));
    p.setBrush(Qt::NoBrush);
    // Half the line width in, so that the whole stroke lies inside the bounds.
    const qreal inset = m_lineWidth / 2.0;
    p.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), 4, 4);
}
