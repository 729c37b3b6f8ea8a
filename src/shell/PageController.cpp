#include <windows.h>

#include "ProductNames.h"
#include "SetupState.h"
#include "Unit1.h"
#include "engine/ErrorText.h"
#include "engine/InstallThread.h"
#include "engine/SystemErrorText.h"
#include "integration/FirewallRules.h"
#include "integration/SetupChoices.h"

namespace {
constexpr char kNextCaption[] = "Next";
constexpr char kInstallCaption[] = "Install";
constexpr char kCancelCaption[] = "Cancel";
constexpr char kFinishCaption[] = "Finish";
constexpr char kErrorCaption[] = "Error";
constexpr char kConnectionStatus[] = "Connection";
}  // namespace

void TFormWebSetup::ShowPage(TPagePanel& page) {
  page.SetVisible(true);
  for (TPagePanel* other : {static_cast<TPagePanel*>(&FrameStep11),
                            static_cast<TPagePanel*>(&FrameStep21),
                            static_cast<TPagePanel*>(&FrameStep31),
                            static_cast<TPagePanel*>(&FrameStep41),
                            static_cast<TPagePanel*>(&FrameStep51)}) {
    if (other != &page) other->SetVisible(false);
  }
}

void TFormWebSetup::UpdateNextFromLicenceChoice() {
  ButtonNext.SetEnabled(FrameStep11.RadioButtonAccept.Checked());
}

void TFormWebSetup::FrameStep11RadioButtonAcceptClick() {
  try {
    UpdateNextFromLicenceChoice();
  } catch (...) {
    // A handler never lets an exception reach the message loop.
  }
}

void TFormWebSetup::FrameStep11RadioButtonDontAcceptClick() {
  try {
    UpdateNextFromLicenceChoice();
  } catch (...) {
    // A handler never lets an exception reach the message loop.
  }
}

void TFormWebSetup::ButtonNextClick() {
  try {
    switch (WizardState) {
      case License:
        ShowPage(FrameStep21);
        ButtonBack.SetVisible(true);
        ButtonNext.SetVisible(true);
        ButtonNext.SetEnabled(true);
        ButtonNext.SetText(kNextCaption);
        ButtonCancell.SetText(kCancelCaption);
        WizardState = Destination;
        break;
      case Destination:
        CreateStartMenu = FrameStep21.CheckBoxCreateStartMenuFolder.Checked();
        CreateDesktopShortcut = FrameStep21.CheckBoxCreateDesktopShortcut.Checked();
        StartFolder = FrameStep21.ParentFolder;
        InstallDir = FrameStep21.EditPath.Text();
        if (!CreateInstallDir()) break;
        ShowPage(FrameStep31);
        ButtonBack.SetVisible(true);
        ButtonNext.SetVisible(true);
        ButtonNext.SetEnabled(true);
        ButtonNext.SetText(kInstallCaption);
        ButtonCancell.SetText(kCancelCaption);
        WizardState = Ready;
        SaveSetupChoices();
        break;
      case Ready:
        StartInstall();
        break;
      default:
        break;
    }
  } catch (...) {
    // A handler never lets an exception reach the message loop.
  }
}

void TFormWebSetup::ButtonBackClick() {
  try {
    switch (WizardState) {
      case Destination:
        ShowPage(FrameStep11);
        ButtonBack.SetVisible(false);
        ButtonNext.SetVisible(true);
        UpdateNextFromLicenceChoice();
        ButtonNext.SetText(kNextCaption);
        ButtonCancell.SetText(kCancelCaption);
        WizardState = License;
        break;
      case Ready:
        ShowPage(FrameStep21);
        ButtonBack.SetVisible(true);
        ButtonNext.SetVisible(true);
        ButtonNext.SetEnabled(true);
        ButtonNext.SetText(kNextCaption);
        ButtonCancell.SetText(kCancelCaption);
        WizardState = Destination;
        break;
      default:
        break;
    }
  } catch (...) {
    // A handler never lets an exception reach the message loop.
  }
}

// Creates only the last component of InstallDir; an existing folder counts as created.
bool TFormWebSetup::CreateInstallDir() {
  if (::CreateDirectoryA(InstallDir.c_str(), nullptr)) return true;
  DWORD error = ::GetLastError();
  if (error == ERROR_ALREADY_EXISTS) return true;

  // Without a text of the system's the user would see nothing happen at all.
  std::string text = ComposeErrorText(InstallDir, error_text::kCreateDirectory,
                                      ReasonOrCode(PlainSystemErrorText(error), error));
  ::MessageBoxA(Handle(), text.c_str(), kErrorCaption, MB_ICONWARNING);
  return false;
}

void TFormWebSetup::StartInstall() {
  ShowPage(FrameStep41);
  ButtonBack.SetVisible(false);
  ButtonNext.SetVisible(false);
  ButtonCancell.SetText(kCancelCaption);
  WizardState = Installing;

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

void TFormWebSetup::ShowStatus(const std::string& text) { FrameStep41.Label4.SetCaption(text); }

int TFormWebSetup::AskUser(const std::string& text, unsigned style) {
  return ::MessageBoxA(Handle(), text.c_str(), kErrorCaption, style);
}

void TFormWebSetup::StartProgress(int fileCount) {
  FrameStep41.ProgressBar1.SetRange(0, fileCount);
  FrameStep41.ProgressBar1.SetPosition(0);
}

void TFormWebSetup::StepProgress() {
  FrameStep41.ProgressBar1.SetPosition(FrameStep41.ProgressBar1.Position() + 1);
}

void TFormWebSetup::ShowFinishPage() {
  ShowPage(FrameStep51);
  ButtonBack.SetVisible(false);
  ButtonNext.SetVisible(false);
  ButtonCancell.SetText(kFinishCaption);
  WizardState = Finished;
}

void TFormWebSetup::ShowReadyPage() {
  ShowPage(FrameStep31);
  ButtonBack.SetVisible(true);
  ButtonNext.SetVisible(true);
  ButtonNext.SetEnabled(true);
  ButtonNext.SetText(kInstallCaption);
  ButtonCancell.SetText(kCancelCaption);
  WizardState = Ready;
}
