#include "Form.h"

#include <algorithm>

#include "Application.h"
#include "Button.h"
#include "Fonts.h"
#include "Resources.h"

namespace {

constexpr DWORD kFormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;

Icon LoadApplicationIcon(int size) {
  return Icon(static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr),
                                              MAKEINTRESOURCEA(kApplicationIconId), IMAGE_ICON,
                                              size, size, LR_DEFAULTCOLOR)));
}

bool CanTakeFocus(HWND window) {
  return window && ::IsWindow(window) && ::IsWindowVisible(window) && ::IsWindowEnabled(window);
}

// Push buttons answer DLGC_DEFPUSHBUTTON or DLGC_UNDEFPUSHBUTTON; check boxes and radio
// buttons neither.
LRESULT DialogCode(HWND window) { return ::SendMessageA(window, WM_GETDLGCODE, 0, 0); }

bool IsPushButton(HWND window) {
  return (DialogCode(window) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

bool HasDefaultFrame(HWND window) { return (DialogCode(window) & DLGC_DEFPUSHBUTTON) != 0; }

// EnumChildWindows: lParam is the one push button that keeps or gets the frame.
BOOL CALLBACK MoveDefaultFrame(HWND child, LPARAM framed) {
  if (!IsPushButton(child)) return TRUE;
  bool wanted = child == reinterpret_cast<HWND>(framed);
  if (HasDefaultFrame(child) != wanted) {
    ::SendMessageA(child, BM_SETSTYLE, wanted ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  }
  return TRUE;
}

}  // namespace

TForm::TForm(const FormLayout& form, const LayoutRow* layout, size_t count,
             const PageFactory& createPage)
    : TWindow(form.className, COLOR_BTNFACE), form_(form) {
  // Created without a size: its DPI is known only once it exists.
  CreateWindowHandle(form.className, kFormStyle, kFormExStyle, 0, 0, 0, 0, nullptr);
  SetDpi(WindowDpi(Handle()));
  PlaceAtCentre();
  SetText(form.caption);
  LoadIcons();
  CreateChildren(layout, count, createPage);
}

void TForm::PlaceAtCentre() {
  int dpi = Dpi();
  RECT frame = {0, 0, ScaleForDpi(form_.clientWidth, dpi), ScaleForDpi(form_.clientHeight, dpi)};
  AdjustWindowRectForDpi(frame, kFormStyle, kFormExStyle, dpi);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  // A window larger than the work area keeps its size, with its title bar within reach.
  RECT workArea;
  if (::SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0)) {
    left = std::max(left, static_cast<int>(workArea.left));
    top = std::max(top, static_cast<int>(workArea.top));
  }
  ::SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::LoadIcons() {
  int dpi = Dpi();
  Icon bigIcon = LoadApplicationIcon(SystemMetricForDpi(SM_CXICON, dpi));
  Icon smallIcon = LoadApplicationIcon(SystemMetricForDpi(SM_CXSMICON, dpi));
  // Without an icon of its own the window shows its class's; that is all a failure costs.
  ::SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon.get()));
  ::SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.get()));
  // The window has let go of the old icons, which are destroyed here.
  bigIcon_ = std::move(bigIcon);
  smallIcon_ = std::move(smallIcon);
}

void TForm::MoveToDpi(int dpi, const RECT* suggested) {
  if (dpi <= 0) return;  // not a message the system would send
  ApplyDpi(dpi);
  // One form per process: once its controls have the new fonts, nothing uses the old ones.
  ReleaseFontsOtherThan(dpi);
  LoadIcons();
  if (suggested) {
    ::SetWindowPos(Handle(), nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TForm::Show() {
  ::ShowWindow(Handle(), SW_SHOWNORMAL);
  ::UpdateWindow(Handle());
  if (OnShow) OnShow();
}

void TForm::Hide() { ::ShowWindow(Handle(), SW_HIDE); }

void TForm::Close() { ::SendMessageA(Handle(), WM_CLOSE, 0, 0); }

HWND TForm::FocusedControl() const {
  return ::GetActiveWindow() == Handle() ? ::GetFocus() : lastFocus_;
}

HWND TForm::FocusTarget(HWND focus) const {
  TButton* button = DefaultButton();
  if (button && CanTakeFocus(button->Handle())) return button->Handle();
  if (focus && ::IsChild(Handle(), focus) && CanTakeFocus(focus)) return focus;
  button = CancelButton();
  return button ? button->Handle() : nullptr;
}

void TForm::FocusDefaultButton() {
  bool active = ::GetActiveWindow() == Handle();
  HWND target = FocusTarget(FocusedControl());
  lastFocus_ = target;
  if (active && target) ::SetFocus(target);
}

HWND TForm::FramedButton() const {
  HWND focus = FocusedControl();
  if (focus && ::IsChild(Handle(), focus) && IsPushButton(focus)) return focus;
  TButton* button = DefaultButton();
  return button && ::IsWindowVisible(button->Handle()) ? button->Handle() : nullptr;
}

void TForm::FrameDefaultButton() {
  if (!::IsWindow(Handle())) return;
  HWND framed = FramedButton();
  // IsDialogMessage's Tab takes the frame from every button and gives it back to buttons only,
  // so the frame is checked, not just remembered.
  if (framed == framed_ && (!framed || HasDefaultFrame(framed))) return;
  framed_ = framed;
  ::EnumChildWindows(Handle(), &MoveDefaultFrame, reinterpret_cast<LPARAM>(framed));
}

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
    case WM_DPICHANGED:
      MoveToDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_ACTIVATE:
      // As in a dialog: keep the focused control while another window is active, and give
      // the focus back to it when the form is active again, or by FocusDefaultButton's rule
      // when it can no longer take it.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(Handle(), focus)) lastFocus_ = focus;
      } else {
        HWND target = CanTakeFocus(lastFocus_) ? lastFocus_ : FocusTarget(nullptr);
        if (target) ::SetFocus(target);
        return 0;
      }
      break;
    case DM_GETDEFID: {
      // Asked by IsDialogMessage for Enter, which it then sends as this button's click.
      HWND framed = FramedButton();
      int id = framed ? ::GetDlgCtrlID(framed) : 0;
      return id ? MAKELRESULT(id, DC_HASDEFID) : 0;
    }
    case WM_COMMAND:
      // Esc: IsDialogMessage sends IDCANCEL with no control behind it.
      if (lParam == 0 && LOWORD(wParam) == IDCANCEL) {
        Close();
        return 0;
      }
      break;
    default:
      break;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}
