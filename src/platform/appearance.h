#pragma once

class QPalette;

// Whether the user interface is dark, judged by the application palette's window colour (the
// desktop's theme sets it): dark when its lightness is below the midpoint.
bool isDarkAppearance();
bool isDarkPalette(const QPalette &palette);
