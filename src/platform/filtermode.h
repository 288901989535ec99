#pragma once

// The three modes of the window, in the order of their buttons, tabs and menu items. The numbers
// are those stored with favourites and settings, and the index of each mode's tab.
namespace filtermodes {
enum FilterMode : int { Standard = 0, ThreeD = 1, Custom = 2 };
inline constexpr int count = 3;
} // namespace filtermodes
using filtermodes::FilterMode;
