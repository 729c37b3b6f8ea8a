#pragma once

#include "framework/CheckBox.h"
#include "framework/Label.h"
#include "framework/PagePanel.h"

// The finish page, which offers to launch the installed program.
class TFrameStep5 : public TPagePanel {
 public:
  TFrameStep5(const LayoutRow& placement, HWND parent);

  TLabel& Label1;
  TLabel& Label2;
  TLabel& Label3;
  TLabel& Label4;
  TCheckBox& CheckBoxLaunch;
};
