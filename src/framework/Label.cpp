#include "Label.h"

std::unique_ptr<TLabel> TLabel::Create(const LayoutRow& row, HWND parent, int dpi) {
  bool wordWrap = (row.flags & kWordWrap) != 0;
  std::unique_ptr<TLabel> label(new TLabel(row.name, wordWrap));
  DWORD style = CommonStyle(row) | SS_NOPREFIX | (wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
  label->CreateHandle("STATIC", style, 0, row, parent, dpi);
  label->AdjustSize();
  return label;
}

void TLabel::SetCaption(const std::string& text) {
  SetText(text);
  AdjustSize();
}

void TLabel::ApplyDpi(int dpi) {
  TControl::ApplyDpi(dpi);
  AdjustSize();
}

void TLabel::AdjustSize() {
  HWND handle = Handle();
  RECT bounds;
  ::GetWindowRect(handle, &bounds);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(handle), reinterpret_cast<POINT*>(&bounds), 2);

  std::string text = Text();
  HDC dc = ::GetDC(handle);
  if (!dc) return;
  HGDIOBJ oldFont = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(handle, WM_GETFONT, 0, 0)));
  RECT measured = {0, 0, wordWrap_ ? bounds.right - bounds.left : 0, 0};
  UINT format = DT_CALCRECT | DT_LEFT | DT_NOPREFIX | (wordWrap_ ? DT_WORDBREAK : DT_SINGLELINE);
  // An empty text still takes the height of one line.
  ::DrawTextA(dc, text.empty() ? " " : text.c_str(), -1, &measured, format);
  ::SelectObject(dc, oldFont);
  ::ReleaseDC(handle, dc);

  int width = wordWrap_ ? bounds.right - bounds.left : measured.right - measured.left;
  int height = measured.bottom - measured.top;
  ::SetWindowPos(handle, nullptr, 0, 0, width, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
