#include "Memo.h"

std::unique_ptr<TMemo> TMemo::Create(const ControlSpec& spec, HWND parent) {
  std::unique_ptr<TMemo> memo(new TMemo(spec.name));
  DWORD style = CommonStyle(spec) | WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL;
  if (spec.flags & kReadOnly) style |= ES_READONLY;
  if (spec.flags & kVerticalScroll) style |= WS_VSCROLL;
  memo->CreateHandle("EDIT", style, WS_EX_CLIENTEDGE, spec, parent);
  return memo;
}
