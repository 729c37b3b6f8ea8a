#include "Bevel.h"

std::unique_ptr<TBevel> TBevel::Create(const ControlSpec& spec, HWND parent) {
  std::unique_ptr<TBevel> bevel(new TBevel(spec.name));
  bevel->CreateHandle("STATIC", CommonStyle(spec) | SS_OWNERDRAW, 0, spec, parent);
  return bevel;
}

void TBevel::HandleDrawItem(const DRAWITEMSTRUCT& item) {
  RECT bounds = item.rcItem;
  ::FillRect(item.hDC, &bounds, ::GetSysColorBrush(COLOR_BTNFACE));
  ::DrawEdge(item.hDC, &bounds, EDGE_ETCHED, BF_TOP);
}
