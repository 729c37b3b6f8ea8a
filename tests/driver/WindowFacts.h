#pragma once

#include <windows.h>

#include <string>

// What an accessibility tool can learn about another process's windows from outside.
namespace facts {

std::wstring ClassName(HWND window);
// The text as the window itself answers WM_GETTEXT (an edit keeps its text to itself).
std::wstring Text(HWND window);
DWORD ProcessOf(HWND window);

// One window as a JSON object; with children, its descendants in z-order under "children".
std::string Describe(HWND window, bool withChildren);

// The top-level windows of a process (every process when processId is 0), in z-order.
std::string TopLevelWindows(DWORD processId);

// The first top-level window with exactly this caption, of the process when processId is not 0.
HWND FindTopLevel(DWORD processId, const std::wstring& caption);

// Message boxes (class #32770) of the process: caption, text, and buttons.
std::string MessageBoxes(DWORD processId);

}  // namespace facts
