#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Control.h"
#include "Dpi.h"
#include "SetupError.h"

// A window of our own class: a form or a page. Its messages reach HandleMessage through the
// window-procedure thunk, which turns any exception into the application's exception display,
// so that no exception ever crosses a window procedure. It contains the controls of its layout
// and routes their notifications back to them.
class TWindow : public TControl {
 public:
  using PageFactory = std::function<std::unique_ptr<TControl>(const LayoutRow& row, HWND parent)>;

  // The DPI its layout is scaled for.
  int Dpi() const { return dpi_; }
  // Places the window for dpi, if it has a row, and lays out every control in it again.
  void ApplyDpi(int dpi) override;

 protected:
  TWindow(std::string name, int backgroundSysColor)
      : TControl(std::move(name)), backgroundSysColor_(backgroundSysColor) {}

  void CreateWindowHandle(const char* className, DWORD style, DWORD exStyle, int left, int top,
                          int width, int height, HWND parent);

  void SetDpi(int dpi) { dpi_ = dpi; }
  // The DPI of the window that will contain a new one: its container's, if that is ours.
  static int ContainerDpi(HWND parent);

  // Creates the rows of a layout as children for the window's DPI, in the order given, and
  // then stacks them by tab order, which is the order the dialog manager's Tab key follows.
  // Rows of kind Page are made by createPage.
  void CreateChildren(const LayoutRow* layout, size_t count,
                      const PageFactory& createPage = PageFactory());

  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // The child created from the layout row with that name, as the kind the caller expects.
  template <typename T>
  T& Find(const char* name) const {
    for (const std::unique_ptr<TControl>& control : children_) {
      if (control->Name() == name) {
        if (T* typed = dynamic_cast<T*>(control.get())) return *typed;
      }
    }
    throw SetupError(std::string("No control ") + name + " in " + Name());
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);

  int backgroundSysColor_;
  int dpi_ = kLayoutDpi;
  std::vector<std::unique_ptr<TControl>> children_;
};
