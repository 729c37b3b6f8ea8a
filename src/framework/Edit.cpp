#include "Edit.h"

std::unique_ptr<TEdit> TEdit::Create(const LayoutRow& row, HWND parent, int dpi) {
  std::unique_ptr<TEdit> edit(new TEdit(row.name));
  DWORD style = CommonStyle(row) | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
  if (row.flags & kReadOnly) style |= ES_READONLY;
  edit->CreateHandle("EDIT", style, WS_EX_CLIENTEDGE, row, parent, dpi);
  if (row.maxLength > 0) ::SendMessageA(edit->Handle(), EM_LIMITTEXT, row.maxLength, 0);
  return edit;
}
