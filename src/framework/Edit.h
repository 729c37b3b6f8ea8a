#pragma once

#include <memory>

#include "Control.h"

// A single-line edit; read-only ones change only through SetText.
class TEdit : public TControl {
 public:
  static std::unique_ptr<TEdit> Create(const LayoutRow& row, HWND parent, int dpi);

  int BackgroundSysColor(int) const override { return COLOR_WINDOW; }

 private:
  explicit TEdit(std::string name) : TControl(std::move(name)) {}
};
