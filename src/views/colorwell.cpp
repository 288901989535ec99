#include "views/colorwell.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionButton>

ColorWell::ColorWell(QWidget *parent)
    : QPushButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QPushButton::clicked, this, &ColorWell::chooseColor);
}

void ColorWell::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void ColorWell::chooseColor()
{
    const QColor picked = QColorDialog::getColor(m_color, this, tr("Colors"), QColorDialog::ShowAlphaChannel);
    if (!picked.isValid() || picked == m_color)
        return;
    setColor(picked);
    emit colorChanged(m_color);
}

void ColorWell::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &p, this);

    // The swatch: a checkerboard under the colour, so that transparency shows.
    const QRect swatch = rect().adjusted(5, 4, -5, -4);
    if (swatch.width() <= 0 || swatch.height() <= 0)
        return;
    const int cell = 4;
    p.save();
    p.setClipRect(swatch);
    for (int y = swatch.top(); y <= swatch.bottom(); y += cell)
        for (int x = swatch.left(); x <= swatch.right(); x += cell)
            p.fillRect(x, y, cell, cell, ((x - swatch.left()) / cell + (y - swatch.top()) / cell) % 2 ? Qt::lightGray : Qt::white);
    p.fillRect(swatch, m_color);
    p.restore();
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(swatch.adjusted(0, 0, -1, -1));
}
