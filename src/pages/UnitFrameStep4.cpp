#include "UnitFrameStep4.h"

namespace {

const LayoutRow kLayout[] = {
    {ControlKind::Label, "Label1", 20, 10, 53, 13, "Installing", kBold, kNoTabOrder},
    {ControlKind::Label, "Label2", 40, 30, 305, 13,
     "Please wait while Setup installs Corvanta on your computer.", kNoFlags, kNoTabOrder},
    {ControlKind::Label, "Label3", 40, 60, 160, 13, "Downloading and installing files...", kNoFlags,
     kNoTabOrder},
    {ControlKind::Label, "Label4", 40, 80, 54, 13, "Connection", kNoFlags, kNoTabOrder},
    {ControlKind::ProgressBar, "ProgressBar1", 40, 110, 500, 17, nullptr, kNoFlags, 0},
};

}  // namespace

TFrameStep4::TFrameStep4(const LayoutRow& placement, HWND parent)
    : TPagePanel(placement, parent, "TFrameStep4", kLayout, CountOf(kLayout)),
      Label1(Find<TLabel>("Label1")),
      Label2(Find<TLabel>("Label2")),
      Label3(Find<TLabel>("Label3")),
      Label4(Find<TLabel>("Label4")),
      ProgressBar1(Find<TProgressBar>("ProgressBar1")) {
  ProgressBar1.SetDoubleBuffered(true);
}
