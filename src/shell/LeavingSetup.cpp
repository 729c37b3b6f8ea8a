#include <windows.h>

#include "ProgramLaunch.h"
#include "Unit1.h"
#include "framework/SupportLog.h"
#include "setup/SetupState.h"

namespace {
constexpr char kExitQuestion[] = "Setup is not complete. Exit Setup?";
constexpr char kExitCaption[] = "Exit Setup";
}  // namespace

// Paused stays set while the question is open, so that the worker asks nothing and starts no
// further step meanwhile, and after a yes, until the window's destruction stops the worker.
bool TFormWebSetup::ConfirmExit() {
  Paused = true;
  int answer = support_log::AskAndLog(Handle(), kExitQuestion, kExitCaption,
                                      MB_YESNO | MB_ICONQUESTION);
  if (answer == IDYES) return true;
  Paused = false;
  return false;
}

void TFormWebSetup::ButtonCancellClick() {
  try {
    if (WizardState == Finished) {
      if (FrameStep51.CheckBoxLaunch.Checked()) LaunchInstalledProgram();
      Close();
      return;
    }
    if (ConfirmExit()) {
      ExitConfirmed = true;
      Close();
    }
  } catch (...) {
    support_log::Discarded("ButtonCancellClick");
    // A handler never lets an exception reach the message loop.
  }
}

void TFormWebSetup::FormCloseQuery(bool& canClose) {
  try {
    canClose = ExitConfirmed;
    if (canClose) return;
    if (WizardState == Finished) {
      ExitConfirmed = true;
      canClose = true;
      return;
    }
    if (ConfirmExit()) {
      ExitConfirmed = true;
      canClose = true;
    }
  } catch (...) {
    support_log::Discarded("FormCloseQuery");
    // The window stays open unless the answer was already given.
  }
}

void TFormWebSetup::LaunchInstalledProgram() {
  Hide();
  StartAndBringToFront(InstallDir);
}
