#pragma once

#include <functional>
#include <memory>

#include "Control.h"

class TCheckBox : public TControl {
 public:
  static std::unique_ptr<TCheckBox> Create(const LayoutRow& row, HWND parent, int dpi);

  bool Checked() const;
  void SetChecked(bool checked);

  std::function<void()> OnClick;

  void HandleCommand(WORD notification) override;

 private:
  explicit TCheckBox(std::string name) : TControl(std::move(name)) {}
};
