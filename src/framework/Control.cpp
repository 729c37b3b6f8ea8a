#include "Control.h"

#include <vector>

#include "Dpi.h"
#include "Fonts.h"
#include "SetupError.h"

bool TControl::Visible() const { return ::IsWindowVisible(handle_) != FALSE; }

template <typename Change>
void TControl::PassFocusOnAround(Change change) {
  HWND focus = ::GetFocus();
  bool holdsFocus = focus && (focus == handle_ || ::IsChild(handle_, focus));
  change();
  if (!holdsFocus) return;
  HWND window = ::GetAncestor(handle_, GA_ROOT);
  HWND next = ::GetNextDlgTabItem(window, focus, FALSE);
  if (!next || next == focus) next = ::GetNextDlgTabItem(window, nullptr, FALSE);
  if (next && next != focus) ::SetFocus(next);
}

void TControl::SetVisible(bool visible) {
  if (visible) {
    ::ShowWindow(handle_, SW_SHOW);
    return;
  }
  PassFocusOnAround([this] { ::ShowWindow(handle_, SW_HIDE); });
}

bool TControl::Enabled() const { return ::IsWindowEnabled(handle_) != FALSE; }

void TControl::SetEnabled(bool enabled) {
  if (enabled) {
    ::EnableWindow(handle_, TRUE);
    return;
  }
  PassFocusOnAround([this] { ::EnableWindow(handle_, FALSE); });
}

std::string TControl::Text() const {
  int length = ::GetWindowTextLengthA(handle_);
  if (length <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(length) + 1);
  int copied = ::GetWindowTextA(handle_, buffer.data(), length + 1);
  return std::string(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

void TControl::SetText(const std::string& text) { ::SetWindowTextA(handle_, text.c_str()); }

void TControl::SetFocus() { ::SetFocus(handle_); }

void TControl::SetDoubleBuffered(bool doubleBuffered) {
  LONG_PTR exStyle = ::GetWindowLongPtrA(handle_, GWL_EXSTYLE);
  exStyle = doubleBuffered ? (exStyle | WS_EX_COMPOSITED) : (exStyle & ~WS_EX_COMPOSITED);
  ::SetWindowLongPtrA(handle_, GWL_EXSTYLE, exStyle);
}

TControl* TControl::FromHandle(HWND handle) {
  return reinterpret_cast<TControl*>(::GetWindowLongPtrA(handle, GWLP_USERDATA));
}

void TControl::ApplyDpi(int dpi) {
  if (!row_) return;
  PlaceForDpi(dpi);
  ::SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(*row_, dpi)), TRUE);
}

void TControl::CreateHandle(const char* className, DWORD style, DWORD exStyle,
                            const LayoutRow& row, HWND parent, int dpi) {
  RECT place = ScaledRect(row, dpi);
  // CreateWindowEx takes a child's control ID in place of a menu.
  HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.controlId));
  HWND handle = ::CreateWindowExA(exStyle, className, row.text ? row.text : "", style, place.left,
                                  place.top, place.right - place.left, place.bottom - place.top,
                                  parent, id, ::GetModuleHandleA(nullptr), nullptr);
  if (!handle) throw SetupError("Cannot create the control " + name_);
  SetRow(row);
  Attach(handle);
  ::SendMessageA(handle, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(row, dpi)), FALSE);
}

void TControl::PlaceForDpi(int dpi) {
  if (!row_) return;
  RECT place = ScaledRect(*row_, dpi);
  ::SetWindowPos(handle_, nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControl::Attach(HWND handle) {
  handle_ = handle;
  ::SetWindowLongPtrA(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

DWORD CommonStyle(const LayoutRow& row) {
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  if (!(row.flags & kHidden)) style |= WS_VISIBLE;
  if (row.flags & kDisabled) style |= WS_DISABLED;
  return style;
}

HFONT FontOf(const LayoutRow& row, int dpi) {
  int height = row.fontHeight > 0 ? row.fontHeight : kWindowFontHeight;
  return GetTahomaFont(height, (row.flags & kBold) != 0, dpi);
}

RECT ScaledRect(const LayoutRow& row, int dpi) {
  // Right and bottom edges are the scaled sizes added to the scaled corner, so that every
  // control keeps exactly its scaled width and height.
  int left = ScaleForDpi(row.left, dpi);
  int top = ScaleForDpi(row.top, dpi);
  return RECT{left, top, left + ScaleForDpi(row.width, dpi), top + ScaleForDpi(row.height, dpi)};
}
