#include <windows.h>

#include <array>

#include "Unit1.h"
#include "engine/ErrorText.h"
#include "engine/InstallThread.h"
#include "engine/SystemErrorText.h"
#include "engine/WinInet.h"
#include "framework/SupportLog.h"
#include "integration/FirewallRules.h"
#include "integration/SetupChoices.h"
#include "integration/Shortcuts.h"
#include "setup/ProductNames.h"
#include "setup/SetupState.h"

namespace {
constexpr char kNextCaption[] = "Next";
constexpr char kInstallCaption[] = "Install";
constexpr char kCancelCaption[] = "Cancel";
constexpr char kFinishCaption[] = "Finish";
constexpr char kErrorCaption[] = "Error";
constexpr char kConnectionStatus[] = "Connection";

const char* YesOrNo(bool value) { return value ? "yes" : "no"; }
}  // namespace

void TFormWebSetup::ShowPage(TPagePanel& page) {
  page.SetVisible(true);
  for (TPagePanel* other : Pages()) {
    if (other != &page) other->SetVisible(false);
  }
}

std::array<TPagePanel*, 5> TFormWebSetup::Pages() {
  return {&FrameStep11, &FrameStep21, &FrameStep31, &FrameStep41, &FrameStep51};
}

// What each state looks like: its page, which buttons show and how they read. Next is enabled
// in every state that shows it, except on the licence page, where the licence choice decides.
void TFormWebSetup::EnterState(WizardStates state) {
  struct StateView {
    bool backVisible;
    bool nextVisible;
    const char* nextCaption;  // left as it is when Next is hidden
    const char* cancelCaption;
  };
  static const StateView kViews[] = {
      {false, true, kNextCaption, kCancelCaption},     // License
      {true, true, kNextCaption, kCancelCaption},      // Destination
      {true, true, kInstallCaption, kCancelCaption},   // Ready
      {false, false, nullptr, kCancelCaption},         // Installing
      {false, false, nullptr, kFinishCaption},         // Finished
  };
  const StateView& view = kViews[state];
  ShowPage(*Pages()[state]);
  ButtonBack.SetVisible(view.backVisible);
  ButtonNext.SetVisible(view.nextVisible);
  if (view.nextVisible) {
    if (state == License) {
      UpdateNextFromLicenceChoice();
    } else {
      ButtonNext.SetEnabled(true);
    }
    ButtonNext.SetText(view.nextCaption);
  }
  ButtonCancell.SetText(view.cancelCaption);
  WizardState = state;
  support_log::Write({"Page entered: ", StateName(state)});
  FocusDefaultButton();
}

TButton* TFormWebSetup::DefaultButton() const {
  switch (WizardState) {
    case License:
    case Destination:
    case Ready:
      return &ButtonNext;
    case Finished:
      return &ButtonCancell;  // it reads "Finish"
    default:
      return nullptr;
  }
}

void TFormWebSetup::UpdateNextFromLicenceChoice() {
  ButtonNext.SetEnabled(FrameStep11.RadioButtonAccept.Checked());
}

void TFormWebSetup::FrameStep11RadioButtonAcceptClick() {
  try {
    UpdateNextFromLicenceChoice();
  } catch (...) {
    support_log::Discarded("FrameStep11RadioButtonAcceptClick");
    // A handler never lets an exception reach the message loop.
  }
}

void TFormWebSetup::FrameStep11RadioButtonDontAcceptClick() {
  try {
    UpdateNextFromLicenceChoice();
  } catch (...) {
    support_log::Discarded("FrameStep11RadioButtonDontAcceptClick");
    // A handler never lets an exception reach the message loop.
  }
}

void TFormWebSetup::ButtonNextClick() {
  try {
    switch (WizardState) {
      case License:
        EnterState(Destination);
        break;
      case Destination:
        CreateStartMenu = FrameStep21.CheckBoxCreateStartMenuFolder.Checked();
        CreateDesktopShortcut = FrameStep21.CheckBoxCreateDesktopShortcut.Checked();
        StartFolder = FrameStep21.ParentFolder;
        InstallDir = FrameStep21.EditPath.Text();
        support_log::Write({"Choices: installation folder ", InstallDir, ", parent folder ",
                            StartFolder, ", Start Menu folder ", YesOrNo(CreateStartMenu),
                            ", desktop shortcut ", YesOrNo(CreateDesktopShortcut)});
        if (!CreateInstallDir()) break;
        EnterState(Ready);
        SaveSetupChoices();
        break;
      case Ready:
        StartInstall();
        break;
      default:
        break;
    }
  } catch (...) {
    support_log::Discarded("ButtonNextClick");
    // A handler never lets an exception reach the message loop.
  }
}

void TFormWebSetup::ButtonBackClick() {
  try {
    switch (WizardState) {
      case Destination:
        EnterState(License);
        break;
      case Ready:
        EnterState(Destination);
        break;
      default:
        break;
    }
  } catch (...) {
    support_log::Discarded("ButtonBackClick");
    // A handler never lets an exception reach the message loop.
  }
}

// Creates only the last component of InstallDir; an existing folder counts as created.
bool TFormWebSetup::CreateInstallDir() {
  if (::CreateDirectoryA(InstallDir.c_str(), nullptr)) {
    support_log::Write({"Created the installation folder ", InstallDir});
    return true;
  }
  DWORD error = ::GetLastError();
  if (error == ERROR_ALREADY_EXISTS) {
    support_log::Write({"The installation folder exists already: ", InstallDir});
    return true;
  }
  support_log::Write({"Cannot create the installation folder ", InstallDir, ": error ", error});

  // Without a text of the system's the user would see nothing happen at all.
  std::string text = ComposeErrorText(InstallDir, error_text::kCreateDirectory,
                                      ReasonOrCode(PlainSystemErrorText(error), error));
  support_log::AskAndLog(Handle(), text, kErrorCaption, MB_ICONWARNING);
  return false;
}

void TFormWebSetup::StartInstall() {
  EnterState(Installing);
  LogFreeSpace();

  AddOwnFirewallRule();

  // A worker that ended in failure still waits for this request; it frees itself after it.
  if (CurrentWorker) {
    CurrentWorker->Terminate();
    CurrentWorker = nullptr;
  }
  Paused = false;
  FrameStep41.ProgressBar1.SetRange(0, 0);
  FrameStep41.ProgressBar1.SetPosition(0);
  FrameStep41.Label4.SetCaption(kConnectionStatus);

  std::unique_ptr<InstallThread> worker = std::make_unique<InstallThread>(*this);
  CurrentWorker = worker.get();
  TThread::StartFreeOnTerminate(std::move(worker));
}

// The room the files will have, as the user's quota allows it, for a write that fails later.
void TFormWebSetup::LogFreeSpace() const {
  ULARGE_INTEGER available = {};
  if (::GetDiskFreeSpaceExA(InstallDir.c_str(), &available, nullptr, nullptr)) {
    support_log::Write({"Free space on the volume of ", InstallDir, ": ", available.QuadPart,
                        " bytes"});
  } else {
    support_log::Write({"Free space on the volume of ", InstallDir, " unknown: error ",
                        ::GetLastError()});
  }
}

void TFormWebSetup::ShowStatus(const std::string& text) { FrameStep41.Label4.SetCaption(text); }

int TFormWebSetup::AskUser(const std::string& text, unsigned style) {
  return support_log::AskAndLog(Handle(), text, kErrorCaption, style);
}

DWORD TFormWebSetup::SignInToProxy(HINTERNET request) {
  const WinInetApi& api = WinInet();
  if (!api.ErrorDlg) return ERROR_PROC_NOT_FOUND;
  return api.ErrorDlg(Handle(), request, ERROR_INTERNET_INCORRECT_PASSWORD,
                      FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_GENERATE_DATA |
                          FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS,
                      nullptr);
}

void TFormWebSetup::StartProgress(int fileCount) {
  FrameStep41.ProgressBar1.SetRange(0, fileCount);
  FrameStep41.ProgressBar1.SetPosition(0);
}

void TFormWebSetup::StepProgress() {
  FrameStep41.ProgressBar1.SetPosition(FrameStep41.ProgressBar1.Position() + 1);
}

void TFormWebSetup::CreateShortcuts() { ::CreateShortcuts(); }

void TFormWebSetup::AddProgramFirewallRules() { ::AddProgramFirewallRules(); }

void TFormWebSetup::ShowFinishPage() { EnterState(Finished); }

void TFormWebSetup::ShowReadyPage() { EnterState(Ready); }
