#include "Edit.h"

std::unique_ptr<TEdit> TEdit::Create(const ControlSpec& spec, HWND parent) {
  std::unique_ptr<TEdit> edit(new TEdit(spec.name));
  DWORD style = CommonStyle(spec) | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
  if (spec.flags & kReadOnly) style |= ES_READONLY;
  edit->CreateHandle("EDIT", style, WS_EX_CLIENTEDGE, spec, parent);
  if (spec.maxLength > 0) ::SendMessageA(edit->Handle(), EM_LIMITTEXT, spec.maxLength, 0);
  return edit;
}
