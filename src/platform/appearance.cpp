#include "appearance.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

bool isDarkPalette(const QPalette &palette)
{
    // HSL lightness runs from 0 to 255; 128 is the first value at or above the midpoint.
    return palette.color(QPalette::Window).lightness() < 128;
}

bool isDarkAppearance()
{
    if (!qGuiApp) return false; // no GUI (command-line use): nothing is drawn
    return isDarkPalette(QGuiApplication::palette());
}
