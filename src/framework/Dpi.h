#pragma once

#include <windows.h>

// Layout tables give every position and size in pixels at 96 pixels per inch; a window on a
// monitor of another DPI scales them. The per-monitor calls exist from Windows 10 on and are
// looked up in user32 at run time; where they are missing the process is at most system-aware,
// and the system's DPI and metrics stand for every window.
constexpr int kLayoutDpi = 96;

inline int ScaleForDpi(int value, int dpi) { return ::MulDiv(value, dpi, kLayoutDpi); }

// The DPI the window is drawn at: that of its monitor for a per-monitor aware process.
int WindowDpi(HWND window);

// AdjustWindowRectEx with the frame metrics of dpi.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);

// GetSystemMetrics as it answers at dpi.
int SystemMetricForDpi(int index, int dpi);
