#pragma once

#include <functional>
#include <memory>

#include "Control.h"

// The radio buttons of one container form one group: checking one unchecks the others. Only
// the checked one is a tab stop, as in any Windows dialog; the arrow keys move within the group.
class TRadioButton : public TControl {
 public:
  static std::unique_ptr<TRadioButton> Create(const LayoutRow& row, HWND parent, int dpi,
                                              bool firstOfGroup);

  bool Checked() const;

  std::function<void()> OnClick;

  void HandleCommand(WORD notification) override;

 private:
  explicit TRadioButton(std::string name) : TControl(std::move(name)) {}
  void MoveTabStopToCheckedButton();
};
