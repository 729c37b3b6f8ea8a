#include "Window.h"

#include <algorithm>
#include <exception>
#include <string>

#include "Application.h"
#include "Bevel.h"
#include "Button.h"
#include "CheckBox.h"
#include "Edit.h"
#include "Label.h"
#include "Memo.h"
#include "ProgressBar.h"
#include "RadioButton.h"
#include "SetupError.h"

namespace {

void RegisterClassOnce(const char* className, int backgroundSysColor, WNDPROC procedure) {
  HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSEXA existing = {sizeof(existing)};
  if (::GetClassInfoExA(instance, className, &existing)) return;
  WNDCLASSEXA windowClass = {sizeof(windowClass)};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(backgroundSysColor + 1));
  windowClass.lpszClassName = className;
  if (!::RegisterClassExA(&windowClass)) {
    throw SetupError(std::string("Cannot register the window class ") + className);
  }
}

// In a dialog, a group runs from a control with WS_GROUP up to the next one. Radio buttons that
// follow each other form one group; every other control starts a group of its own.
void MarkGroups(HWND parent) {
  bool previousWasRadio = false;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    bool isRadio = dynamic_cast<TRadioButton*>(TControl::FromHandle(child)) != nullptr;
    LONG_PTR style = ::GetWindowLongPtrA(child, GWL_STYLE);
    bool startsGroup = !(isRadio && previousWasRadio);
    style = startsGroup ? (style | WS_GROUP) : (style & ~WS_GROUP);
    ::SetWindowLongPtrA(child, GWL_STYLE, style);
    previousWasRadio = isRadio;
  }
}

}  // namespace

void TWindow::CreateWindowHandle(const char* className, DWORD style, DWORD exStyle, int left,
                                 int top, int width, int height, HWND parent) {
  RegisterClassOnce(className, backgroundSysColor_, &TWindow::WindowProc);
  HWND handle = ::CreateWindowExA(exStyle, className, "", style, left, top, width, height, parent,
                                  nullptr, ::GetModuleHandleA(nullptr), this);
  if (!handle) throw SetupError("Cannot create the window " + Name());
}

int TWindow::ContainerDpi(HWND parent) {
  auto* container = dynamic_cast<TWindow*>(TControl::FromHandle(parent));
  return container ? container->Dpi() : WindowDpi(parent);
}

void TWindow::ApplyDpi(int dpi) {
  dpi_ = dpi;
  PlaceForDpi(dpi);
  for (const std::unique_ptr<TControl>& control : children_) control->ApplyDpi(dpi);
}

void TWindow::CreateChildren(const LayoutRow* layout, size_t count,
                             const PageFactory& createPage) {
  std::vector<TControl*> created;
  bool radioSeen = false;
  for (size_t i = 0; i < count; ++i) {
    const LayoutRow& row = layout[i];
    std::unique_ptr<TControl> control;
    switch (row.kind) {
      case ControlKind::Label: control = TLabel::Create(row, Handle(), dpi_); break;
      case ControlKind::Button: control = TButton::Create(row, Handle(), dpi_); break;
      case ControlKind::CheckBox: control = TCheckBox::Create(row, Handle(), dpi_); break;
      case ControlKind::RadioButton:
        control = TRadioButton::Create(row, Handle(), dpi_, !radioSeen);
        radioSeen = true;
        break;
      case ControlKind::Edit: control = TEdit::Create(row, Handle(), dpi_); break;
      case ControlKind::Memo: control = TMemo::Create(row, Handle(), dpi_); break;
      case ControlKind::Bevel: control = TBevel::Create(row, Handle(), dpi_); break;
      case ControlKind::ProgressBar: control = TProgressBar::Create(row, Handle(), dpi_); break;
      case ControlKind::Page:
        if (createPage) control = createPage(row, Handle());
        break;
    }
    if (!control) throw SetupError(std::string("Cannot create ") + row.name);
    created.push_back(control.get());
    children_.push_back(std::move(control));
  }

  // Rows with a tab order take the places that such rows hold in the layout, sorted by tab
  // order; rows without one (labels, the bevel) keep their places.
  std::vector<size_t> tabbed;
  for (size_t i = 0; i < count; ++i) {
    if (layout[i].tabOrder != kNoTabOrder) tabbed.push_back(i);
  }
  std::vector<size_t> sorted = tabbed;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [layout](size_t a, size_t b) { return layout[a].tabOrder < layout[b].tabOrder; });
  std::vector<TControl*> stacking = created;
  for (size_t k = 0; k < tabbed.size(); ++k) stacking[tabbed[k]] = created[sorted[k]];
  for (TControl* control : stacking) {
    ::SetWindowPos(control->Handle(), HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  MarkGroups(Handle());
}

LRESULT TWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (lParam) {
        if (TControl* control = TControl::FromHandle(reinterpret_cast<HWND>(lParam))) {
          control->HandleCommand(HIWORD(wParam));
          return 0;
        }
      }
      break;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (TControl* control = TControl::FromHandle(item->hwndItem)) {
        control->HandleDrawItem(*item);
        return TRUE;
      }
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT: {
      int color = backgroundSysColor_;
      if (TControl* control = TControl::FromHandle(reinterpret_cast<HWND>(lParam))) {
        color = control->BackgroundSysColor(backgroundSysColor_);
      }
      HDC dc = reinterpret_cast<HDC>(wParam);
      ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
      ::SetBkColor(dc, ::GetSysColor(color));
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(color));
    }
    default:
      break;
  }
  return ::DefWindowProcA(Handle(), message, wParam, lParam);
}

LRESULT CALLBACK TWindow::WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    static_cast<TWindow*>(create->lpCreateParams)->Attach(handle);
  }
  auto* self = dynamic_cast<TWindow*>(TControl::FromHandle(handle));
  if (!self) return ::DefWindowProcA(handle, message, wParam, lParam);
  LRESULT result = 0;
  try {
    result = self->HandleMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    Application->HandleException(&error);
  } catch (...) {
    Application->HandleException(nullptr);
  }
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
  }
  return result;
}
