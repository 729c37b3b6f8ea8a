#include "Unit1.h"

#include <objbase.h>

#include "StartFacts.h"
#include "engine/InstallThread.h"
#include "framework/SupportLog.h"
#include "setup/ProductNames.h"
#include "setup/SetupState.h"

TFormWebSetup* FormWebSetup = nullptr;

namespace {

constexpr FormLayout kForm = {kFormWebSetupClass, kFormWebSetupCaption, 600, 430};

// Unique, and clear of IDOK and IDCANCEL, which the dialog manager sends for Enter and Esc.
constexpr int kNextButtonId = 101;
constexpr int kBackButtonId = 102;
constexpr int kCancelButtonId = 103;

const LayoutRow kLayout[] = {
    {ControlKind::Bevel, "Bevel1", 0, 380, 600, 4, nullptr, kTopLine, kNoTabOrder},
    {ControlKind::Page, "FrameStep11", 0, 0, 600, 380, nullptr, kNoFlags, 3},
    {ControlKind::Button, "ButtonNext", 420, 394, 75, 25, "Next", kDisabled, 1, 0, 0,
     kNextButtonId},
    {ControlKind::Button, "ButtonCancell", 510, 394, 75, 25, "Cancel", kNoFlags, 0, 0, 0,
     kCancelButtonId},
    {ControlKind::Button, "ButtonBack", 340, 394, 75, 25, "Back", kHidden, 2, 0, 0, kBackButtonId},
    {ControlKind::Page, "FrameStep21", 0, 0, 600, 380, nullptr, kHidden, 4},
    {ControlKind::Page, "FrameStep31", 0, 0, 600, 380, nullptr, kHidden, 5},
    {ControlKind::Page, "FrameStep41", 0, 0, 600, 380, nullptr, kHidden, 6},
    {ControlKind::Page, "FrameStep51", 0, 0, 600, 380, nullptr, kHidden, 7},
};

std::unique_ptr<TControl> CreatePage(const LayoutRow& row, HWND parent) {
  const std::string name = row.name;
  if (name == "FrameStep11") return std::make_unique<TFrameStep1>(row, parent);
  if (name == "FrameStep21") return std::make_unique<TFrameStep2>(row, parent);
  if (name == "FrameStep31") return std::make_unique<TFrameStep3>(row, parent);
  if (name == "FrameStep41") return std::make_unique<TFrameStep4>(row, parent);
  if (name == "FrameStep51") return std::make_unique<TFrameStep5>(row, parent);
  return nullptr;
}

}  // namespace

TFormWebSetup::TFormWebSetup()
    : TForm(kForm, kLayout, CountOf(kLayout), &CreatePage),
      Bevel1(Find<TBevel>("Bevel1")),
      FrameStep11(Find<TFrameStep1>("FrameStep11")),
      ButtonNext(Find<TButton>("ButtonNext")),
      ButtonCancell(Find<TButton>("ButtonCancell")),
      ButtonBack(Find<TButton>("ButtonBack")),
      FrameStep21(Find<TFrameStep2>("FrameStep21")),
      FrameStep31(Find<TFrameStep3>("FrameStep31")),
      FrameStep41(Find<TFrameStep4>("FrameStep41")),
      FrameStep51(Find<TFrameStep5>("FrameStep51")) {
  OnShow = [this] { FormShow(); };
  OnDestroy = [this] { FormDestroy(); };
  OnCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };
  ButtonNext.OnClick = [this] { ButtonNextClick(); };
  ButtonBack.OnClick = [this] { ButtonBackClick(); };
  ButtonCancell.OnClick = [this] { ButtonCancellClick(); };
  FrameStep11.RadioButtonAccept.OnClick = [this] { FrameStep11RadioButtonAcceptClick(); };
  FrameStep11.RadioButtonDontAccept.OnClick = [this] { FrameStep11RadioButtonDontAcceptClick(); };
  SetDoubleBuffered(true);
  FormCreate();
}

void TFormWebSetup::FormCreate() {
  try {
    WizardState = License;
    CurrentWorker = nullptr;
    CreateStartMenu = true;
    CreateDesktopShortcut = true;
    OwnRuleAdded = false;
    ExitConfirmed = false;
    Paused = false;
    InstallDir = product::kDefaultInstallDir;
    StartFolder.clear();
    com_ = std::make_unique<ScopedComInitialization>(COINIT_APARTMENTTHREADED);
    // Ignored when it fails: the shortcut and firewall routines then find no objects.
    HRESULT security = ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr,
                                              RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IDENTIFY,
                                              nullptr, EOAC_NONE, nullptr);
    support_log::Write({"COM started: CoInitializeEx ", support_log::Hex(com_->Result()),
                        ", CoInitializeSecurity ", support_log::Hex(security)});
  } catch (...) {
    support_log::Discarded("FormCreate");
    // A handler never lets an exception reach the message loop.
  }
}

// The log opens only now, so that nothing of it delays the window.
void TFormWebSetup::FormShow() {
  try {
    support_log::Open();
    LogStartFacts(Dpi());
    support_log::Write({"Page entered: ", StateName(WizardState)});
  } catch (...) {
    support_log::Discarded("FormShow");
  }
}

void TFormWebSetup::FormDestroy() {
  try {
    if (CurrentWorker) {
      CurrentWorker->Terminate();
      CurrentWorker = nullptr;
    }
    Paused = false;
    com_.reset();
  } catch (...) {
    support_log::Discarded("FormDestroy");
    // A handler never lets an exception reach the message loop.
  }
}
