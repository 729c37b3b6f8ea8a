// Loaded into an inspected process by the driver; reports the font of one of that process's
// windows, both as it was asked for (LOGFONT) and as GDI realised it (face and metrics).
#include <windows.h>

#include "FontReport.h"

extern "C" __declspec(dllexport) DWORD WINAPI DescribeFont(LPVOID parameter) {
  SectionName name;
  FontReportSectionName(::GetCurrentProcessId(), name);
  HANDLE section = ::OpenFileMappingW(FILE_MAP_WRITE, FALSE, name);
  if (!section) return 0;
  auto* report = static_cast<FontReport*>(::MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, sizeof(FontReport)));
  if (!report) {
    ::CloseHandle(section);
    return 0;
  }
  ZeroMemory(report, sizeof(*report));

  DWORD_PTR handle = 0;
  report->answered = ::SendMessageTimeoutW(static_cast<HWND>(parameter), WM_GETFONT, 0, 0,
                                           SMTO_BLOCK, 5000, &handle) != 0;
  report->font = static_cast<DWORD>(handle);
  HFONT font = reinterpret_cast<HFONT>(handle);
  if (font && ::GetObjectW(font, sizeof(report->logical), &report->logical) == sizeof(report->logical)) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    if (dc) {
      HGDIOBJ previous = ::SelectObject(dc, font);
      ::GetTextMetricsW(dc, &report->realized);
      ::GetTextFaceW(dc, LF_FACESIZE, report->realizedFace);
      ::SelectObject(dc, previous);
      ::DeleteDC(dc);
      report->described = 1;
    }
  }
  DWORD answered = static_cast<DWORD>(report->answered);
  ::UnmapViewOfFile(report);
  ::CloseHandle(section);
  return answered;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
