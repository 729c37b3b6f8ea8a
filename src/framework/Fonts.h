#pragma once

#include <windows.h>

// The window font is Tahoma with a character height of 11 pixels at 96 DPI.
constexpr int kWindowFontHeight = 11;

// Tahoma of that character height, given in pixels at 96 DPI, as drawn at dpi. Fonts are
// created once per DPI and shared by every control.
HFONT GetTahomaFont(int characterHeight, bool bold, int dpi);

// Deletes the fonts of every DPI but dpi. Called by the window once none of its controls uses
// them any more.
void ReleaseFontsOtherThan(int dpi);
