#pragma once

#include <functional>
#include <memory>

#include "Control.h"

class TButton : public TControl {
 public:
  static std::unique_ptr<TButton> Create(const LayoutRow& row, HWND parent, int dpi);

  std::function<void()> OnClick;

  void HandleCommand(WORD notification) override;

 protected:
  explicit TButton(std::string name) : TControl(std::move(name)) {}
};
