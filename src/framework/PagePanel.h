#pragma once

#include "Window.h"

// One page of a wizard: a panel in the button-highlight colour that builds the controls of its
// layout table and holds them for the life of the window.
class TPagePanel : public TWindow {
 protected:
  TPagePanel(const LayoutRow& placement, HWND parent, const char* className,
             const LayoutRow* layout, size_t count);
};
