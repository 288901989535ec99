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
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    m_original = m_color;
    m_dialog = new QColorDialog(m_color, this);
    m_dialog->setWindowTitle(tr("Colors"));
    m_dialog->setOption(QColorDialog::ShowAlphaChannel);
    m_dialog->setOption(QColorDialog::DontUseNativeDialog);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_dialog->setWindowModality(Qt::NonModal);
    connect(m_dialog, &QColorDialog::currentColorChanged, this, [this](const QColor &color) {
        if (!color.isValid() || color == m_color)
            return;
        setColor(color);
        emit colorPreviewed(color);
    });
    connect(m_dialog, &QDialog::finished, this, &ColorWell::dialogFinished);
    m_dialog->show();
}

void ColorWell::dialogFinished(int result)
{
    const QColor chosen = m_dialog ? m_dialog->selectedColor() : QColor();
    m_dialog = nullptr; // deletes itself on close
    // The owner goes back to the value it had before the dialog, without an undo step...
    if (m_color != m_original) {
        setColor(m_original);
        emit previewEnded();
    }
    // ...and OK then makes the one undoable change to the chosen colour.
    if (result == QDialog::Accepted && chosen.isValid() && chosen != m_original) {
        setColor(chosen);
        emit colorChanged(chosen);
    }
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
