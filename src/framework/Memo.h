#pragma once

#include <memory>

#include "Control.h"

// Multi-line text that wraps its lines within its width.
class TMemo : public TControl {
 public:
  static std::unique_ptr<TMemo> Create(const LayoutRow& row, HWND parent, int dpi);

  int BackgroundSysColor(int) const override { return COLOR_WINDOW; }

 private:
  explicit TMemo(std::string name) : TControl(std::move(name)) {}
};
