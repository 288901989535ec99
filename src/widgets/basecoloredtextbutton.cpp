#include "widgets/basecoloredtextbutton.h"

#include <QEnterEvent>
#include <QPainter>

BaseColoredTextButton::BaseColoredTextButton(QWidget *parent)
    : BaseColoredTextButton(QString(), parent)
{
}

BaseColoredTextButton::BaseColoredTextButton(const QString &title, QWidget *parent)
    : BaseColoredButton(title, parent)
{
    setCheckable(true);
    setAttribute(Qt::WA_Hover);
}

void BaseColoredTextButton::paintEvent(QPaintEvent *event)
{
    BaseColoredButton::paintEvent(event);
    if (text().isEmpty())
        return;
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(QColor::fromRgbF(2.0f / 3.0f, 2.0f / 3.0f, 2.0f / 3.0f));
    painter.drawText(rect().translated(0, 2), Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

void BaseColoredTextButton::enterEvent(QEnterEvent *event)
{
    BaseColoredButton::enterEvent(event);
    setChecked(true);
    update();
}

void BaseColoredTextButton::leaveEvent(QEvent *event)
{
    BaseColoredButton::leaveEvent(event);
    setChecked(false);
    update();
}

void BaseColoredTextButton::nextCheckState()
{
}
