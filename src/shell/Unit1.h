#pragma once

#include <array>
#include <memory>

#include "engine/InstallView.h"
#include "framework/Bevel.h"
#include "framework/Button.h"
#include "framework/Form.h"
#include "framework/Handles.h"
#include "pages/UnitFrameStep1.h"
#include "pages/UnitFrameStep2.h"
#include "pages/UnitFrameStep3.h"
#include "pages/UnitFrameStep4.h"
#include "pages/UnitFrameStep5.h"
#include "setup/SetupState.h"

// The window's class and caption, by which a second setup finds it.
constexpr char kFormWebSetupClass[] = "TFormWebSetup";
constexpr char kFormWebSetupCaption[] = "Web Setup - Corvanta";

// The setup's one window: five stacked pages above Back, Next and Cancel. Its handlers are the
// page controller and the ways out of setup; the install worker reaches it only through the
// InstallView calls, which its reports make on the main thread.
class TFormWebSetup : public TForm, public InstallView {
 public:
  TFormWebSetup();

  TBevel& Bevel1;
  TFrameStep1& FrameStep11;
  TButton& ButtonNext;
  TButton& ButtonCancell;
  TButton& ButtonBack;
  TFrameStep2& FrameStep21;
  TFrameStep3& FrameStep31;
  TFrameStep4& FrameStep41;
  TFrameStep5& FrameStep51;

  void FormCreate();
  void FormShow();
  void FormDestroy();
  void FormCloseQuery(bool& canClose);
  void ButtonNextClick();
  void ButtonBackClick();
  void ButtonCancellClick();
  void FrameStep11RadioButtonAcceptClick();
  void FrameStep11RadioButtonDontAcceptClick();

  // InstallView, for the worker's reports.
  void ShowStatus(const std::string& text) override;
  int AskUser(const std::string& text, unsigned style) override;
  DWORD SignInToProxy(HINTERNET request) override;
  void StartProgress(int fileCount) override;
  void StepProgress() override;
  void CreateShortcuts() override;
  void AddProgramFirewallRules() override;
  void ShowFinishPage() override;
  void ShowReadyPage() override;

 protected:
  // Next (Install on the ready page) before the install, Finish after it, none during it.
  TButton* DefaultButton() const override;
  TButton* CancelButton() const override { return &ButtonCancell; }

 private:
  // Makes page the only visible page: it is shown first, then the other four are hidden.
  void ShowPage(TPagePanel& page);
  std::array<TPagePanel*, 5> Pages();
  // Shows the page and buttons of state, as the page controller's table has them.
  // The focus then goes to its default button (see TForm::FocusDefaultButton).
  void EnterState(WizardStates state);
  void UpdateNextFromLicenceChoice();
  bool CreateInstallDir();
  void StartInstall();
  void LogFreeSpace() const;
  // The exit question; true when the user answers yes.
  bool ConfirmExit();
  void LaunchInstalledProgram();

  std::unique_ptr<ScopedComInitialization> com_;
};

extern TFormWebSetup* FormWebSetup;
