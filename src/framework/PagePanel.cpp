#include "PagePanel.h"

TPagePanel::TPagePanel(const LayoutRow& placement, HWND parent, const char* className,
                       const LayoutRow* layout, size_t count)
    : TWindow(placement.name, COLOR_BTNHIGHLIGHT) {
  SetDpi(ContainerDpi(parent));
  SetRow(placement);
  RECT place = ScaledRect(placement, Dpi());
  DWORD style = CommonStyle(placement) | WS_CLIPCHILDREN;
  // Tab moves into the page's controls as if they were the form's own.
  CreateWindowHandle(className, style, WS_EX_CONTROLPARENT, place.left, place.top,
                     place.right - place.left, place.bottom - place.top, parent);
  CreateChildren(layout, count);
}
