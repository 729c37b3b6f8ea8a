#pragma once

#include <windows.h>

#include <string>

// Starts installDir + "\Corvanta.exe" with the setup's own environment and current folder,
// waits until it is idle for input (at most 5 s) and brings its first visible top-level window
// to the front. A program that cannot be started is not reported.
void StartAndBringToFront(const std::string& installDir);

// The window-enumeration callback: lParam is the process identifier whose window to raise.
BOOL CALLBACK BringProcessWindowToFront(HWND window, LPARAM processId);
