#pragma once

#include "framework/Label.h"
#include "framework/Memo.h"
#include "framework/PagePanel.h"
#include "framework/RadioButton.h"

// The licence agreement, which must be accepted before setup goes on.
class TFrameStep1 : public TPagePanel {
 public:
  TFrameStep1(const LayoutRow& placement, HWND parent);

  TLabel& Label1;
  TLabel& Label2;
  TLabel& Label3;
  TLabel& Label4;
  TMemo& Memo1;
  TRadioButton& RadioButtonAccept;
  TRadioButton& RadioButtonDontAccept;
};
