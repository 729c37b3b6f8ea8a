#pragma once

#include <windows.h>

// What the font probe, running inside the inspected process, writes about one window's font
// into a shared section named by that process's id. Under Wine neither WM_GETFONT nor GDI
// answers about a font from another process, so both questions are asked from inside.
struct FontReport {
  LONG answered;   // 1 when the window answered WM_GETFONT
  DWORD font;      // its font handle; 0 for the system font
  LONG described;  // 1 when the fields below hold the font's description
  LOGFONTW logical;
  TEXTMETRICW realized;
  WCHAR realizedFace[LF_FACESIZE];
};

using SectionName = wchar_t[64];

inline void FontReportSectionName(DWORD processId, SectionName& name) {
  ::wsprintfW(name, L"Local\\CorvantaDriverFontReport-%lu", processId);
}

// The probe's entry point, run as a remote thread whose parameter is the window handle.
constexpr char kDescribeFontExport[] = "DescribeFont";
