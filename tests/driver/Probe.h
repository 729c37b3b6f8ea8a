#pragma once

#include <windows.h>

// What the driver and the probe DLL share. The driver loads the probe into an inspected process
// and runs its exports there as remote threads, each with one 32-bit parameter; an export's
// exit code is its answer. Under Wine neither WM_GETFONT nor GDI answers about a font from
// another process, and a message whose parameter points to memory must find it in the
// receiving process, so these questions and messages are asked from inside.

// What DescribeFont writes about one window's font into a shared section named by the
// process's id.
struct FontReport {
  LONG answered;   // 1 when the window answered WM_GETFONT
  DWORD font;      // its font handle; 0 for the system font
  LONG described;  // 1 when the fields below hold the font's description
  LOGFONTW logical;
  TEXTMETRICW realized;
  WCHAR realizedFace[LF_FACESIZE];
  SIZE textExtent;  // the window's text on one line in that font
};

using SectionName = wchar_t[64];

inline void FontReportSectionName(DWORD processId, SectionName& name) {
  ::wsprintfW(name, L"Local\\CorvantaDriverFontReport-%lu", processId);
}

// A message to send from inside the process: the driver writes it into the process's memory,
// where a pointer of the message must point, and reads the answer back from there.
struct InsideMessage {
  DWORD window;
  DWORD message;
  DWORD wParam;
  DWORD lParam;    // unless withRect
  DWORD withRect;  // 1: lParam is the address of rect (WM_DPICHANGED's suggested rectangle)
  RECT rect;
  DWORD answered;  // 1 when the window answered in time
  DWORD result;
};

// DescribeFont(window handle): fills the section; answers 1 when the window answered.
constexpr char kDescribeFontExport[] = "DescribeFont";
// GdiObjectType(handle): GetObjectType in the process; 0 for no such object.
constexpr char kGdiObjectTypeExport[] = "GdiObjectType";
// IconWidth(icon handle): the icon's width in pixels; 0 for no such icon.
constexpr char kIconWidthExport[] = "IconWidth";
// SendInside(InsideMessage address): sends the message and fills in the answer.
constexpr char kSendInsideExport[] = "SendInside";
