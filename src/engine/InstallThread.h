#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/FileReplacement.h"
#include "engine/InstallView.h"
#include "manifest/Manifest.h"
#include "engine/Transfer.h"
#include "framework/Thread.h"

class PublisherCheck;

// "https://" + the download host + "/installs/cvn/": the manifest and every file come from here.
std::string DownloadBaseUrl();

// Installs the product on a thread of its own: one internet session, the manifest, then every
// listed file downloaded completely into memory and written into the installation folder. It
// reaches the window only through its seven reports, each run on the main thread while it waits.
// After handing the wizard over it idles until it is asked to terminate.
class InstallThread : public TThread {
 public:
  // Created suspended; reads the installation folder as it is now.
  explicit InstallThread(InstallView& view);

  // The report fields, written by the worker before a report and read by it on the main
  // thread (MessageResult the other way round).
  std::string StatusText;
  std::string MessageText;
  int32_t MessageStyle = 0;
  int32_t MessageResult = 0;
  int32_t FileCount = 0;
  // For the proxy sign-in: the request the proxy answered with 407, and the dialog's result.
  HINTERNET ProxyRequest = nullptr;
  DWORD SignInResult = 0;

 protected:
  void Execute() override;

 private:
  void Install();
  void InstallOverSession(TransferBuffer& buffer);
  bool DownloadManifest(TransferBuffer& buffer, ManifestTable& table, size_t& count);
  void InstallFiles(TransferBuffer& buffer, const ManifestTable& table, size_t count);
  // Before anything is replaced: asks the user to close the programs that run from the
  // installation folder until none does, or the user cancels.
  void CloseProgramsInUse(const ManifestTable& table, size_t count);
  bool DownloadFile(TransferBuffer& buffer, const ManifestEntry& entry);
  void WriteFileData(const TransferBuffer& buffer, const ManifestEntry& entry,
                     const std::string& path);

  // Transfers url and passes the waiting point after it. When a proxy that the system's settings
  // name asks for credentials, shows the sign-in dialog and, once the user gave some, transfers
  // again at once; after three sign-ins in a row that the proxy refused, or a Cancel, the
  // outcome is the 407 for the caller's question. Any other 407 is that outcome at once.
  TransferOutcome TransferThroughProxy(const std::string& url, TransferBuffer& buffer,
                                       TransferWatcher* watcher);
  // Shows the sign-in dialog for the outcome's request, unless the worker is terminating, and
  // closes the request; true when the user gave credentials.
  bool SignInToProxy(TransferOutcome& outcome);
  void WaitWhilePaused() const;
  // Fills the message fields and asks the user unless the worker is terminating; returns the
  // answer, or the preset when no box could be shown.
  int32_t Ask(const std::string& text, int32_t style, int32_t preset);
  // A Retry/Cancel question: anything but Retry aborts the run.
  void AskRetryOrAbort(const std::string& text);

  void RunReport(void (InstallThread::*report)());
  void ShowStatus();
  void AskUser();
  void ProxySignIn();
  void StartProgress();
  void StepProgress();
  void CompleteInstall();
  void ReturnToReady();

  InstallView& view_;
  const std::string installDir_;
  InternetSession session_;
  ProxyCredentials proxyCredentials_;
  FileReplacer replacer_;
  // Only in a setup built with publisher keys, and only while the run lasts.
  PublisherCheck* publisher_ = nullptr;
  bool aborted_ = false;
};
