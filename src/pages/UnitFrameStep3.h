#pragma once

#include "framework/Label.h"
#include "framework/PagePanel.h"

// Ready to install: the last page before the download starts.
class TFrameStep3 : public TPagePanel {
 public:
  TFrameStep3(const LayoutRow& placement, HWND parent);

  TLabel& Label1;
  TLabel& Label2;
  TLabel& Label3;
};
