#include "Button.h"

std::unique_ptr<TButton> TButton::Create(const LayoutRow& row, HWND parent, int dpi) {
  std::unique_ptr<TButton> button(new TButton(row.name));
  button->CreateHandle("BUTTON", CommonStyle(row) | WS_TABSTOP | BS_PUSHBUTTON, 0, row, parent,
                       dpi);
  return button;
}

void TButton::HandleCommand(WORD notification) {
  if (notification == BN_CLICKED && OnClick) OnClick();
}
