#pragma once

#include <windows.h>

#include <string>

#include "LayoutRow.h"

// A child window of ours: a standard Win32 control or one of our containers. The window itself
// is destroyed with its parent; the object only forgets it.
class TControl {
 public:
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;
  virtual ~TControl() = default;

  HWND Handle() const { return handle_; }
  const std::string& Name() const { return name_; }

  bool Visible() const;
  void SetVisible(bool visible);
  bool Enabled() const;
  void SetEnabled(bool enabled);
  std::string Text() const;
  void SetText(const std::string& text);
  void SetFocus();

  // Paints the control through an off-screen buffer, so that updates do not flicker.
  void SetDoubleBuffered(bool doubleBuffered);

  // A notification (WM_COMMAND) that the control sent to its container.
  virtual void HandleCommand(WORD /*notification*/) {}
  // Owner-drawn controls paint themselves when the container receives WM_DRAWITEM.
  virtual void HandleDrawItem(const DRAWITEMSTRUCT& /*item*/) {}
  // The system colour the control's background is painted in, given its container's colour.
  virtual int BackgroundSysColor(int containerSysColor) const { return containerSysColor; }

  // Lays the control out again from its layout row for dpi: its rectangle and its font.
  virtual void ApplyDpi(int dpi);

  // The object that owns a child window created by this layer, or null.
  static TControl* FromHandle(HWND handle);

 protected:
  explicit TControl(std::string name) : name_(std::move(name)) {}

  // Creates the window at the row's place for dpi, remembers it and gives it the row's font.
  void CreateHandle(const char* className, DWORD style, DWORD exStyle, const LayoutRow& row,
                    HWND parent, int dpi);
  void Attach(HWND handle);
  // The row the control was made from, one of the layout tables, which live as long as the
  // program. A form has none.
  void SetRow(const LayoutRow& row) { row_ = &row; }
  // Moves the window to its row's rectangle, scaled for dpi.
  void PlaceForDpi(int dpi);

 private:
  // A control that hides or disables itself while it holds the keyboard focus hands it on to
  // the next tab stop of its window, as in a dialog; otherwise the keyboard would reach nothing.
  template <typename Change>
  void PassFocusOnAround(Change change);

  std::string name_;
  HWND handle_ = nullptr;
  const LayoutRow* row_ = nullptr;
};

// Window styles that every row implies: child, visible unless hidden, disabled if asked.
DWORD CommonStyle(const LayoutRow& row);
HFONT FontOf(const LayoutRow& row, int dpi);
// The row's rectangle in pixels at dpi.
RECT ScaledRect(const LayoutRow& row, int dpi);
