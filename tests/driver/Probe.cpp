// Loaded into an inspected process by the driver; its exports run there as remote threads (see
// Probe.h): describing a window's font, checking GDI and icon handles, sending messages.
#include <windows.h>

#include <vector>

#include "Probe.h"

namespace {

constexpr UINT kAnswerTimeoutMs = 5000;

SIZE TextExtent(HWND window, HDC dc) {
  SIZE extent = {};
  int length = ::GetWindowTextLengthW(window);
  std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
  int copied = ::GetWindowTextW(window, text.data(), length + 1);
  if (copied > 0) ::GetTextExtentPoint32W(dc, text.data(), copied, &extent);
  return extent;
}

}  // namespace

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

  HWND window = static_cast<HWND>(parameter);
  DWORD_PTR handle = 0;
  report->answered = ::SendMessageTimeoutW(window, WM_GETFONT, 0, 0, SMTO_BLOCK, kAnswerTimeoutMs,
                                           &handle) != 0;
  report->font = static_cast<DWORD>(handle);
  HFONT font = reinterpret_cast<HFONT>(handle);
  if (font && ::GetObjectW(font, sizeof(report->logical), &report->logical) == sizeof(report->logical)) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    if (dc) {
      HGDIOBJ previous = ::SelectObject(dc, font);
      ::GetTextMetricsW(dc, &report->realized);
      ::GetTextFaceW(dc, LF_FACESIZE, report->realizedFace);
      report->textExtent = TextExtent(window, dc);
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

extern "C" __declspec(dllexport) DWORD WINAPI GdiObjectType(LPVOID parameter) {
  return ::GetObjectType(static_cast<HGDIOBJ>(parameter));
}

extern "C" __declspec(dllexport) DWORD WINAPI IconWidth(LPVOID parameter) {
  ICONINFO info = {};
  if (!::GetIconInfo(static_cast<HICON>(parameter), &info)) return 0;
  BITMAP bitmap = {};
  ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  return static_cast<DWORD>(bitmap.bmWidth);
}

extern "C" __declspec(dllexport) DWORD WINAPI SendInside(LPVOID parameter) {
  auto* sent = static_cast<InsideMessage*>(parameter);
  LPARAM lParam = sent->withRect ? reinterpret_cast<LPARAM>(&sent->rect) : static_cast<LPARAM>(sent->lParam);
  DWORD_PTR result = 0;
  sent->answered = ::SendMessageTimeoutW(reinterpret_cast<HWND>(static_cast<uintptr_t>(sent->window)),
                                         sent->message, sent->wParam, lParam, SMTO_BLOCK,
                                         kAnswerTimeoutMs, &result) != 0;
  sent->result = static_cast<DWORD>(result);
  return sent->answered;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
