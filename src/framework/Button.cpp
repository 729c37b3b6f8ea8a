#include "Button.h"

std::unique_ptr<TButton> TButton::Create(const ControlSpec& spec, HWND parent) {
  std::unique_ptr<TButton> button(new TButton(spec.name));
  button->CreateHandle("BUTTON", CommonStyle(spec) | WS_TABSTOP | BS_PUSHBUTTON, 0, spec, parent);
  return button;
}

void TButton::HandleCommand(WORD notification) {
  if (notification == BN_CLICKED && OnClick) OnClick();
}
