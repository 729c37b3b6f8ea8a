#pragma once

#include <memory>

#include "Control.h"

// A progress bar whose position is always exact but which draws itself at most ten times a
// second, and always at its last step: steps that come faster than anyone can see would
// otherwise each cost a repaint, and a thread that waits for a step would wait for it too.
class TProgressBar : public TControl {
 public:
  static std::unique_ptr<TProgressBar> Create(const LayoutRow& row, HWND parent, int dpi);

  void SetRange(int minimum, int maximum);
  int Position() const;
  void SetPosition(int position);

 private:
  explicit TProgressBar(std::string name) : TControl(std::move(name)) {}
  static void CALLBACK PaintLater(HWND bar, UINT message, UINT_PTR timer, DWORD time);
  void Repaint();

  DWORD lastRepaint_ = 0;
  bool repaintPending_ = false;
};
