#include "Control.h"

#include <stdexcept>
#include <vector>

#include "Fonts.h"

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

void TControl::CreateHandle(const char* className, DWORD style, DWORD exStyle,
                            const LayoutRow& row, HWND parent) {
  HWND handle = ::CreateWindowExA(exStyle, className, row.text ? row.text : "", style, row.left,
                                  row.top, row.width, row.height, parent, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
  if (!handle) throw std::runtime_error("Cannot create the control " + name_);
  Attach(handle);
  ::SendMessageA(handle, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(row)), FALSE);
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

HFONT FontOf(const LayoutRow& row) {
  int height = row.fontHeight > 0 ? row.fontHeight : kWindowFontHeight;
  return GetTahomaFont(height, (row.flags & kBold) != 0);
}
