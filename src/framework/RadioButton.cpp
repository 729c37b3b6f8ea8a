#include "RadioButton.h"

std::unique_ptr<TRadioButton> TRadioButton::Create(const LayoutRow& row, HWND parent, int dpi,
                                                   bool firstOfGroup) {
  std::unique_ptr<TRadioButton> button(new TRadioButton(row.name));
  DWORD style = CommonStyle(row) | BS_AUTORADIOBUTTON;
  if (firstOfGroup) style |= WS_GROUP;
  if (row.flags & (kChecked | kTabStop)) style |= WS_TABSTOP;
  button->CreateHandle("BUTTON", style, 0, row, parent, dpi);
  if (row.flags & kChecked) ::SendMessageA(button->Handle(), BM_SETCHECK, BST_CHECKED, 0);
  return button;
}

bool TRadioButton::Checked() const {
  return ::SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TRadioButton::HandleCommand(WORD notification) {
  if (notification != BN_CLICKED) return;
  MoveTabStopToCheckedButton();
  if (OnClick) OnClick();
}

void TRadioButton::MoveTabStopToCheckedButton() {
  HWND parent = ::GetParent(Handle());
  for (HWND sibling = ::GetWindow(parent, GW_CHILD); sibling;
       sibling = ::GetWindow(sibling, GW_HWNDNEXT)) {
    auto* radio = dynamic_cast<TRadioButton*>(TControl::FromHandle(sibling));
    if (!radio) continue;
    LONG_PTR style = ::GetWindowLongPtrA(sibling, GWL_STYLE);
    style = radio->Checked() ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
    ::SetWindowLongPtrA(sibling, GWL_STYLE, style);
  }
}
