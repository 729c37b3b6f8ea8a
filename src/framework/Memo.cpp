#include "Memo.h"

namespace {

// Every EDIT window shares the class's window procedure.
WNDPROC g_editProcedure = nullptr;

// A multi-line edit claims every key from the dialog manager, Tab included. Read-only text has
// no use for Tab, so Tab and Shift+Tab move on to the next control as everywhere else.
LRESULT CALLBACK ReadOnlyMemoProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = ::CallWindowProcA(g_editProcedure, handle, message, wParam, lParam);
  if (message == WM_GETDLGCODE) result &= ~(DLGC_WANTALLKEYS | DLGC_WANTTAB);
  return result;
}

}  // namespace

std::unique_ptr<TMemo> TMemo::Create(const LayoutRow& row, HWND parent, int dpi) {
  std::unique_ptr<TMemo> memo(new TMemo(row.name));
  DWORD style = CommonStyle(row) | WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL;
  bool readOnly = (row.flags & kReadOnly) != 0;
  if (readOnly) style |= ES_READONLY;
  if (row.flags & kVerticalScroll) style |= WS_VSCROLL;
  memo->CreateHandle("EDIT", style, WS_EX_CLIENTEDGE, row, parent, dpi);
  if (readOnly) {
    WNDPROC previous = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
        memo->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ReadOnlyMemoProcedure)));
    if (!g_editProcedure) g_editProcedure = previous;
  }
  return memo;
}
