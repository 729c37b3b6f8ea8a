#include "UnitFrameStep5.h"

namespace {

const LayoutRow kLayout[] = {
    {ControlKind::Label, "Label1", 20, 10, 242, 13, "Completing the Corvanta Setup Wizard", kBold,
     kNoTabOrder},
    {ControlKind::Label, "Label2", 40, 30, 290, 13,
     "Setup has finished installing Corvanta on your computer.", kNoFlags, kNoTabOrder},
    {ControlKind::Label, "Label3", 40, 80, 329, 13,
     "The application may be launched by selecting the installed shortcuts.", kNoFlags,
     kNoTabOrder},
    {ControlKind::Label, "Label4", 40, 100, 120, 13, "Click Finish to exit Setup.", kNoFlags,
     kNoTabOrder},
    {ControlKind::CheckBox, "CheckBoxLaunch", 40, 140, 140, 17, "Launch Corvanta", kChecked, 0},
};

}  // namespace

TFrameStep5::TFrameStep5(const LayoutRow& placement, HWND parent)
    : TPagePanel(placement, parent, "TFrameStep5", kLayout, CountOf(kLayout)),
      Label1(Find<TLabel>("Label1")),
      Label2(Find<TLabel>("Label2")),
      Label3(Find<TLabel>("Label3")),
      Label4(Find<TLabel>("Label4")),
      CheckBoxLaunch(Find<TCheckBox>("CheckBoxLaunch")) {}
