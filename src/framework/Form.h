#pragma once

#include <functional>

#include "Handles.h"
#include "Window.h"

class TButton;

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
// The keyboard follows the dialog convention: Enter presses the button with the default frame,
// Esc closes the form as the title bar does.
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
  // Puts the default frame (BS_DEFPUSHBUTTON) on the focused push button, or else on
  // DefaultButton, and takes it from every other push button. The message loop calls it after
  // every message, since any message may move the focus.
  void FrameDefaultButton();

 protected:
  // Creates the form and the controls of its layout, hidden until Show.
  TForm(const FormLayout& form, const LayoutRow* layout, size_t count,
        const PageFactory& createPage);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  // The button that Enter presses while the focus is on no push button; null for none.
  virtual TButton* DefaultButton() const { return nullptr; }
  // Where the focus goes when no other control can take it.
  virtual TButton* CancelButton() const { return nullptr; }
  // Gives the focus to DefaultButton when it can take it; else the focus stays where it is if
  // it can, and goes to CancelButton otherwise. While another window, a message box say, is
  // active, the control is only remembered for the form's next activation: focusing it now
  // would take the keyboard from that window.
  void FocusDefaultButton();

 private:
  // Gives the window the frame of its client area at its DPI, centred on the screen.
  void PlaceAtCentre();
  // The application's icon in the sizes of the title bar and of Alt+Tab at the window's DPI.
  void LoadIcons();
  // WM_DPICHANGED: the window has moved to a monitor of another DPI, or the scale has changed.
  void MoveToDpi(int dpi, const RECT* suggested);
  // The control that has the focus, or will have it again when the form is active.
  HWND FocusedControl() const;
  // The rule of FocusDefaultButton, given the control that has the focus.
  HWND FocusTarget(HWND focus) const;
  // The button that should carry the default frame now, or null.
  HWND FramedButton() const;

  FormLayout form_;
  HWND lastFocus_ = nullptr;
  HWND framed_ = nullptr;
  Icon bigIcon_;
  Icon smallIcon_;
};
