#pragma once

#include <memory>

#include "Control.h"

// An etched line along the top edge of its rectangle.
class TBevel : public TControl {
 public:
  static std::unique_ptr<TBevel> Create(const LayoutRow& row, HWND parent, int dpi);

  void HandleDrawItem(const DRAWITEMSTRUCT& item) override;

 private:
  explicit TBevel(std::string name) : TControl(std::move(name)) {}
};
