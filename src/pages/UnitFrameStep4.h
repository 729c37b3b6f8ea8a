#pragma once

#include "framework/Label.h"
#include "framework/PagePanel.h"
#include "framework/ProgressBar.h"

// Installing: the status line names the file in progress; the bar counts the files written.
class TFrameStep4 : public TPagePanel {
 public:
  TFrameStep4(const LayoutRow& placement, HWND parent);

  TLabel& Label1;
  TLabel& Label2;
  TLabel& Label3;
  TLabel& Label4;
  TProgressBar& ProgressBar1;
};
