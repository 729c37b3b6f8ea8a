#include "PagePanel.h"

TPagePanel::TPagePanel(const LayoutRow& placement, HWND parent, const char* className,
                       const LayoutRow* layout, size_t count)
    : TWindow(placement.name, COLOR_BTNHIGHLIGHT) {
  DWORD style = CommonStyle(placement) | WS_CLIPCHILDREN;
  // Tab moves into the page's controls as if they were the form's own.
  CreateWindowHandle(className, style, WS_EX_CONTROLPARENT, placement.left, placement.top,
                     placement.width, placement.height, parent);
  CreateChildren(layout, count);
}
