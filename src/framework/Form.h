#pragma once

#include <functional>

#include "Handles.h"
#include "Window.h"

// The client area is given in pixels at 96 DPI, like the layout tables.
struct FormLayout {
  const char* className;
  const char* caption;
  int clientWidth, clientHeight;
};

// A top-level window with a sizeable border, a system menu and a minimise box, placed at the
// centre of the desktop. Its layout is scaled for the DPI of its monitor, and laid out again
// when it moves to a monitor of another DPI. Closing it asks OnCloseQuery first; destroying
// it calls OnDestroy. A derived form runs its own create handler at the end of its constructor.
class TForm : public TWindow {
 public:
  std::function<void()> OnDestroy;
  // Once the form has been shown and painted.
  std::function<void()> OnShow;
  std::function<void(bool& canClose)> OnCloseQuery;

  void Show();
  void Hide();
  // Tries to close the form, as the title bar's close box does.
  void Close();

 protected:
  // Creates the form and the controls of its layout, hidden until Show.
  TForm(const FormLayout& form, const LayoutRow* layout, size_t count,
        const PageFactory& createPage);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // Gives the window the frame of its client area at its DPI, centred on the screen.
  void PlaceAtCentre();
  // The application's icon in the sizes of the title bar and of Alt+Tab at the window's DPI.
  void LoadIcons();
  // WM_DPICHANGED: the window has moved to a monitor of another DPI, or the scale has changed.
  void MoveToDpi(int dpi, const RECT* suggested);

  FormLayout form_;
  HWND lastFocus_ = nullptr;
  Icon bigIcon_;
  Icon smallIcon_;
};
