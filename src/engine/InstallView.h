#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

// What the install worker's reports change in the window. Every call is made on the main
// thread while the worker waits for it.
class InstallView {
 public:
  virtual ~InstallView() = default;

  // The status line of the installing page.
  virtual void ShowStatus(const std::string& text) = 0;
  // A message box owned by the main window, captioned "Error"; returns the answer.
  virtual int AskUser(const std::string& text, unsigned style) = 0;
  // The system's proxy sign-in dialog for a request that a proxy answered with 407, owned by
  // the main window; returns its result, ERROR_INTERNET_FORCE_RETRY once the user gave
  // credentials.
  virtual DWORD SignInToProxy(HINTERNET request) = 0;
  virtual void StartProgress(int fileCount) = 0;
  virtual void StepProgress() = 0;
  // What a successful install leaves besides the files, in this order: the shortcuts, then the
  // installed program's firewall rules. Both fail silently.
  virtual void CreateShortcuts() = 0;
  virtual void AddProgramFirewallRules() = 0;
  // The wizard moves to the finish page, or back to the ready page.
  virtual void ShowFinishPage() = 0;
  virtual void ShowReadyPage() = 0;
};
