#include "UnitFrameStep1.h"

#include "framework/Resources.h"
#include "res/resource.h"

namespace {

// A screen reader names an edit by the label just before it in the window order, so the title
// stands right before the licence text; labels take no tab stop, so the tab order stays.
const LayoutRow kLayout[] = {
    {ControlKind::Label, "Label2", 40, 30, 317, 13,
     "Please read the following important information before continuing.", kNoFlags, kNoTabOrder},
    {ControlKind::Label, "Label3", 40, 60, 475, 13,
     "Please read the following License Agreement. You must accept the terms of this agreement "
     "before ",
     kWordWrap, kNoTabOrder},
    {ControlKind::Label, "Label4", 40, 80, 149, 13, "continuing with the installation.", kNoFlags,
     kNoTabOrder},
    {ControlKind::Label, "Label1", 20, 10, 109, 13, "License Agreement", kBold, kNoTabOrder},
    {ControlKind::Memo, "Memo1", 40, 110, 500, 210, nullptr, kReadOnly | kVerticalScroll, 0, 0, 13},
    {ControlKind::RadioButton, "RadioButtonAccept", 40, 330, 150, 17, "I accept this agreement",
     kNoFlags, 1},
    {ControlKind::RadioButton, "RadioButtonDontAccept", 40, 350, 180, 17,
     "I do not accept this agreement", kChecked | kTabStop, 2},
};

}  // namespace

TFrameStep1::TFrameStep1(const LayoutRow& placement, HWND parent)
    : TPagePanel(placement, parent, "TFrameStep1", kLayout, CountOf(kLayout)),
      Label1(Find<TLabel>("Label1")),
      Label2(Find<TLabel>("Label2")),
      Label3(Find<TLabel>("Label3")),
      Label4(Find<TLabel>("Label4")),
      Memo1(Find<TMemo>("Memo1")),
      RadioButtonAccept(Find<TRadioButton>("RadioButtonAccept")),
      RadioButtonDontAccept(Find<TRadioButton>("RadioButtonDontAccept")) {
  Memo1.SetText(LoadTextResource(IDR_LICENSE_TEXT));
  Memo1.SetDoubleBuffered(true);
}
