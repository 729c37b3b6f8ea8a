#pragma once

#include <windows.h>

// The window font is Tahoma with a character height of 11 pixels. Fonts are created once and
// shared by every control for the life of the process.
constexpr int kWindowFontHeight = 11;

HFONT GetTahomaFont(int characterHeight, bool bold);
