#include "UnitFrameStep3.h"

namespace {

const LayoutRow kLayout[] = {
    {ControlKind::Label, "Label1", 20, 10, 92, 13, "Ready To Install", kBold, kNoTabOrder},
    {ControlKind::Label, "Label2", 40, 30, 332, 13,
     "Setup is now ready to begin installing Corvanta on you computer.", kNoFlags, kNoTabOrder},
    {ControlKind::Label, "Label3", 40, 60, 444, 13,
     "Click Install to continue with the installation, or click Back if you want to change any "
     "settings.",
     kNoFlags, kNoTabOrder},
};

}  // namespace

TFrameStep3::TFrameStep3(const LayoutRow& placement, HWND parent)
    : TPagePanel(placement, parent, "TFrameStep3", kLayout, CountOf(kLayout)),
      Label1(Find<TLabel>("Label1")),
      Label2(Find<TLabel>("Label2")),
      Label3(Find<TLabel>("Label3")) {}
