#include "CheckBox.h"

std::unique_ptr<TCheckBox> TCheckBox::Create(const LayoutRow& row, HWND parent, int dpi) {
  std::unique_ptr<TCheckBox> box(new TCheckBox(row.name));
  box->CreateHandle("BUTTON", CommonStyle(row) | WS_TABSTOP | BS_AUTOCHECKBOX, 0, row, parent, dpi);
  box->SetChecked((row.flags & kChecked) != 0);
  return box;
}

bool TCheckBox::Checked() const {
  return ::SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked) {
  ::SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::HandleCommand(WORD notification) {
  if (notification == BN_CLICKED && OnClick) OnClick();
}
