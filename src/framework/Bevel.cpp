#include "Bevel.h"

std::unique_ptr<TBevel> TBevel::Create(const LayoutRow& row, HWND parent, int dpi) {
  std::unique_ptr<TBevel> bevel(new TBevel(row.name));
  bevel->CreateHandle("STATIC", CommonStyle(row) | SS_OWNERDRAW, 0, row, parent, dpi);
  return bevel;
}

void TBevel::HandleDrawItem(const DRAWITEMSTRUCT& item) {
  RECT bounds = item.rcItem;
  ::FillRect(item.hDC, &bounds, ::GetSysColorBrush(COLOR_BTNFACE));
  ::DrawEdge(item.hDC, &bounds, EDGE_ETCHED, BF_TOP);
}
