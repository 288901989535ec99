#include "platform/appearance.h"

#include <QApplication>
#include <QPalette>
#include <gtest/gtest.h>

TEST(Appearance, DarkWhenTheWindowColourIsDark)
{
    const QPalette saved = QApplication::palette();
    QPalette palette = saved;
    palette.setColor(QPalette::Window, QColor(30, 30, 30));
    QApplication::setPalette(palette);
    EXPECT_TRUE(isDarkAppearance());
    palette.setColor(QPalette::Window, QColor(236, 236, 236));
    QApplication::setPalette(palette);
    EXPECT_FALSE(isDarkAppearance());
    QApplication::setPalette(saved);

    // Lightness is judged, not a single channel: saturated blue is dark, a pale yellow light.
    palette.setColor(QPalette::Window, QColor(0, 0, 200));
    EXPECT_TRUE(isDarkPalette(palette));
    palette.setColor(QPalette::Window, QColor(255, 240, 120));
    EXPECT_FALSE(isDarkPalette(palette));
}
