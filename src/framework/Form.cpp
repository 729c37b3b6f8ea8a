#include "Form.h"

#include "Application.h"

namespace {

constexpr DWORD kFormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;

}  // namespace

TForm::TForm(const FormLayout& form, const LayoutRow* layout, size_t count,
             const PageFactory& createPage)
    : TWindow(form.className, COLOR_BTNFACE) {
  RECT frame = {0, 0, form.clientWidth, form.clientHeight};
  ::AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  CreateWindowHandle(form.className, kFormStyle, kFormExStyle, left, top, width, height, nullptr);
  SetText(form.caption);
  CreateChildren(layout, count, createPage);
}

void TForm::Show() {
  ::ShowWindow(Handle(), SW_SHOWNORMAL);
  ::UpdateWindow(Handle());
}

void TForm::Hide() { ::ShowWindow(Handle(), SW_HIDE); }

void TForm::Close() { ::SendMessageA(Handle(), WM_CLOSE, 0, 0); }

LRESULT TForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE: {
      bool canClose = true;
      if (OnCloseQuery) OnCloseQuery(canClose);
      if (canClose) ::DestroyWindow(Handle());
      return 0;
    }
    case WM_DESTROY:
      if (OnDestroy) OnDestroy();
      if (Application && Application->MainForm() == this) ::PostQuitMessage(0);
      return 0;
    case WM_ACTIVATE:
      // As in a dialog: keep the focused control while another window is active, and give
      // the focus back to it, or to the first tab stop, when the form is active again.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(Handle(), focus)) lastFocus_ = focus;
      } else {
        HWND target = lastFocus_;
        if (!target || !::IsWindow(target) || !::IsWindowVisible(target) ||
            !::IsWindowEnabled(target)) {
          target = ::GetNextDlgTabItem(Handle(), nullptr, FALSE);
        }
        if (target) ::SetFocus(target);
        return 0;
      }
      break;
    default:
      break;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}
