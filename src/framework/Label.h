#pragma once

#include <memory>

#include "Control.h"

// Static text that sizes itself to its text: to one line when it does not wrap, or to the
// height of the wrapped lines within its width when it does.
class TLabel : public TControl {
 public:
  static std::unique_ptr<TLabel> Create(const LayoutRow& row, HWND parent, int dpi);

  void SetCaption(const std::string& text);
  void ApplyDpi(int dpi) override;

 private:
  TLabel(std::string name, bool wordWrap) : TControl(std::move(name)), wordWrap_(wordWrap) {}
  void AdjustSize();

  bool wordWrap_;
};
