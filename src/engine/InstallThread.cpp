#include "InstallThread.h"

#include <windows.h>

#include <vector>

#include "BuildConfig.h"
#include "engine/ErrorText.h"
#include "engine/PublisherCheck.h"
#include "engine/RunningPrograms.h"
#include "engine/SystemErrorText.h"
#include "framework/SupportLog.h"
#include "setup/ProductNames.h"
#include "setup/SetupState.h"

namespace {

constexpr DWORD kPollMilliseconds = 100;
constexpr DWORD kClosingPauseMilliseconds = 1000;
constexpr char kManifestName[] = "map.txt";
// Credentials that a proxy keeps refusing must not loop for ever: after this many sign-ins in
// a row, the transfer's own question is asked instead.
constexpr int kSignInsInARow = 3;
// Only a setup built with publisher keys checks signatures. Without keys every part of the
// check is compiled out, and the setup requests and shows exactly what it always has.
constexpr bool kChecksSignatures = !build_config::kPublisherKeys.empty();

std::string TransferErrorText(const TransferOutcome& outcome) {
  if (!outcome.faultText.empty()) return outcome.faultText;
  return ReasonOrCode(InternetErrorText(outcome.error), outcome.error);
}

// One line for each transfer: how it ended and what came back, then what was asked and every
// text from outside, quoted, so that nothing a server sends can read as the verdict.
void LogTransfer(const std::string& url, const TransferOutcome& outcome, ULONGLONG milliseconds) {
  using support_log::Part;
  using support_log::Quoted;
  const bool answered = outcome.status != 0;
  const bool declared = outcome.declaredLength.has_value();
  const bool redirected = !outcome.finalUrl.empty();
  // The reason a question gives, the server's response text among them, without the line break
  // that ends it there; none for a transfer that simply stopped.
  const bool explained = !outcome.complete && (outcome.error || !outcome.faultText.empty());
  const std::string given = explained ? TransferErrorText(outcome) : std::string();
  const std::string reason = given.substr(0, given.find_last_not_of("\r\n") + 1);
  support_log::Write({"GET ", outcome.complete ? "complete" : "failed",
                      outcome.error ? ", error " : "", outcome.error ? Part(outcome.error) : "",
                      answered ? ", HTTP " : ", no answer", answered ? Part(outcome.status) : "",
                      declared ? ", declared " : ", no length declared",
                      declared ? Part(*outcome.declaredLength) : "", declared ? " bytes" : "",
                      ", received ", outcome.received, " bytes in ", milliseconds, " ms: ",
                      Quoted(url), redirected ? ", redirected to " : "",
                      redirected ? Part(Quoted(outcome.finalUrl)) : "",
                      answered ? ", status text " : "",
                      answered ? Part(Quoted(outcome.statusText)) : "",
                      reason.empty() ? "" : ", reason ",
                      reason.empty() ? Part("") : Part(Quoted(reason))});
}

// Creates the folders of localName under installDir one level at a time, each named with its
// trailing backslash. The first failure other than "already exists" ends the walk; creating the
// file then reports what went wrong.
void CreateEntryFolders(const std::string& installDir, const char* localName) {
  std::string folder = installDir + "\\";
  for (const char* c = localName; *c; ++c) {
    folder += *c;
    if (*c != '\\') continue;
    if (!::CreateDirectoryA(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
      return;
    }
  }
}

// One line for the temporary file, when there was one, and one for the file.
void LogReplacement(const std::string& path, size_t size, const Replacement& result,
                    const std::string& reasonText) {
  using support_log::Part;
  if (!result.tempName.empty()) {
    support_log::Write({"Temporary file ", result.tempName,
                        result.replaced ? " moved over " : " for ", path,
                        result.replaced ? "" : result.tempLeft ? " left: it could not be deleted"
                                                               : " deleted",
                        result.readOnlyCleared ? ", its read-only attribute cleared" : ""});
  }
  if (result.replaced) {
    support_log::Write({"Wrote ", path, ", ", size, " bytes"});
    return;
  }
  const bool retold = result.reason != result.error;
  support_log::Write({"Cannot write ", path, ", ", size, " bytes: ", result.failedCall, " error ",
                      result.error, retold ? ", shown as error " : "",
                      retold ? Part(result.reason) : "", ": ",
                      reasonText.substr(0, reasonText.find_last_not_of("\r\n") + 1)});
}

}  // namespace

std::string DownloadBaseUrl() {
  return std::string("https://") + build_config::kDownloadHost + product::kDownloadPath;
}

InstallThread::InstallThread(InstallView& view) : view_(view), installDir_(InstallDir) {}

void InstallThread::Execute() {
  try {
    Install();
  } catch (...) {
    support_log::Discarded("InstallThread::Execute");
    // The run is abandoned where it failed (for example when the 16,000,000-byte buffer cannot
    // be had); no report runs, and the wizard stays on the installing page, which the user
    // leaves with Cancel. The session was closed and the proxy's credentials wiped on the way
    // out of InstallOverSession; the run's other handles are closed by their owners.
  }
  while (!Terminated()) ::Sleep(kPollMilliseconds);
}

void InstallThread::Install() {
  TransferBuffer buffer;
  // Discarded at compile time, so that a setup without keys does not even link the check.
  if constexpr (kChecksSignatures) {
    PublisherCheck publisher;
    // The check lives only as long as this run; nothing may point at it after it has gone,
    // whether the run returns or throws.
    struct ForgetOnExit {
      PublisherCheck*& pointer;
      ~ForgetOnExit() { pointer = nullptr; }
    } forget{publisher_};
    publisher_ = &publisher;
    InstallOverSession(buffer);
  } else {
    InstallOverSession(buffer);
  }
}

void InstallThread::InstallOverSession(TransferBuffer& buffer) {
  if (!session_.Open(product::kSetupName)) {
    const DWORD error = session_.OpenError();
    support_log::Write({"Cannot open the internet session: error ", error});
    std::string text = ComposeErrorText(std::string(), error_text::kCreateConnection,
                                        ReasonOrCode(InternetErrorText(error), error));
    Ask(text, MB_OK | MB_ICONWARNING, IDOK);
    aborted_ = true;
  } else {
    // The session and the credentials a proxy's sign-in left for it end together, whether the
    // run returns or throws.
    struct CloseSessionOnExit {
      InternetSession& session;
      ProxyCredentials& credentials;
      ~CloseSessionOnExit() {
        session.Close();
        credentials.Clear();
      }
    } closeSession{session_, proxyCredentials_};
    support_log::Write({"Internet session opened; proxy: ", session_.ProxyDescription()});
    auto table = std::make_unique<ManifestTable>();
    size_t count = 0;
    DownloadManifest(buffer, *table, count);
    if (count > 0 && !aborted_ && !Terminated()) InstallFiles(buffer, *table, count);
  }
  if (!Terminated()) {
    support_log::Write({"The install run ends, ", aborted_ ? "cancelled" : "complete"});
  }
  RunReport(aborted_ ? &InstallThread::ReturnToReady : &InstallThread::CompleteInstall);
}

bool InstallThread::DownloadManifest(TransferBuffer& buffer, ManifestTable& table, size_t& count) {
  const std::string url = DownloadBaseUrl() + kManifestName;
  const std::string headline = DownloadFilesFromHeadline(build_config::kVendorDomain);
  TransferOutcome outcome;
  while (!aborted_ && !Terminated()) {
    outcome = TransferThroughProxy(url, buffer, publisher_);
    if (kChecksSignatures && outcome.complete && !Terminated()) {
      // map.txt.sig comes on the same session, with a waiting point after it as after every
      // transfer. A failed transfer of it is told as itself; a document that does not hold, as
      // a manifest not signed.
      const size_t manifestLength = buffer.Received();
      outcome = TransferThroughProxy(DownloadBaseUrl() + kSignatureDocumentName,
                                     publisher_->DocumentBuffer(), nullptr);
      if (outcome.complete && !publisher_->AcceptManifest(manifestLength)) {
        outcome.complete = false;
        outcome.faultText = UnsignedManifestText();
      }
    }
    if (outcome.complete || Terminated()) break;
    AskRetryOrAbort(ComposeErrorText(std::string(), headline, TransferErrorText(outcome)));
  }
  count = 0;
  if (outcome.complete && !aborted_ && !Terminated()) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(buffer.Data());
    if (ValidateManifest(bytes, buffer.Received())) {
      count = ParseManifest(bytes, buffer.Received(), table);
    }
    support_log::Write({"The manifest lists ", count, " files to install"});
  }
  return outcome.complete;
}

void InstallThread::InstallFiles(TransferBuffer& buffer, const ManifestTable& table, size_t count) {
  // Nothing is replaced while a program runs from the folder: the writes would stop at its
  // file and leave the folder half of one release and half of the other.
  CloseProgramsInUse(table, count);
  if (aborted_ || Terminated()) return;
  FileCount = static_cast<int32_t>(count);
  RunReport(&InstallThread::StartProgress);
  for (size_t i = 0; i < count && !aborted_ && !Terminated(); ++i) {
    const ManifestEntry& entry = table[i];
    const std::string path = installDir_ + "\\" + entry.LocalName;
    StatusText = path;
    RunReport(&InstallThread::ShowStatus);
    if (DownloadFile(buffer, entry) && !aborted_ && !Terminated()) {
      WriteFileData(buffer, entry, path);
    }
  }
  if (!aborted_ && !Terminated()) ::Sleep(kClosingPauseMilliseconds);
}

bool InstallThread::DownloadFile(TransferBuffer& buffer, const ManifestEntry& entry) {
  const std::string url = DownloadBaseUrl() + entry.RemoteName;
  TransferOutcome outcome;
  while (!aborted_ && !Terminated()) {
    outcome = TransferThroughProxy(url, buffer, publisher_);
    // Checked before anything of the file is written; a retry downloads it again.
    if (kChecksSignatures && outcome.complete &&
        !publisher_->AcceptFile(entry.RemoteName, buffer.Received())) {
      outcome.complete = false;
      outcome.faultText = UnsignedFileText();
    }
    if (outcome.complete || Terminated()) break;
    AskRetryOrAbort(ComposeErrorText(url, error_text::kDownloadFile, TransferErrorText(outcome)));
  }
  return outcome.complete;
}

void InstallThread::WriteFileData(const TransferBuffer& buffer, const ManifestEntry& entry,
                                  const std::string& path) {
  while (!aborted_ && !Terminated()) {
    CreateEntryFolders(installDir_, entry.LocalName);
    const Replacement result =
        replacer_.Replace(path, buffer.Data(), static_cast<DWORD>(buffer.Received()));
    const std::string reason = result.replaced ? std::string()
                                               : ReasonOrCode(PlainSystemErrorText(result.reason),
                                                              result.reason);
    LogReplacement(path, buffer.Received(), result, reason);
    if (result.replaced) RunReport(&InstallThread::StepProgress);

    WaitWhilePaused();
    if (result.replaced || Terminated()) break;
    // A retry writes the same data again, without downloading it again.
    AskRetryOrAbort(ComposeErrorText(path, error_text::kWriteFile, reason));
  }
}

void InstallThread::CloseProgramsInUse(const ManifestTable& table, size_t count) {
  while (!aborted_ && !Terminated()) {
    const std::vector<std::string> programs = FindRunningPrograms(installDir_, table, count);
    if (programs.empty()) return;
    WaitWhilePaused();
    if (Terminated()) return;
    AskRetryOrAbort(ProgramsInUseText(programs));
  }
}

TransferOutcome InstallThread::TransferThroughProxy(const std::string& url, TransferBuffer& buffer,
                                                   TransferWatcher* watcher) {
  for (int signIns = 0;; ++signIns) {
    const ULONGLONG started = ::GetTickCount64();
    TransferOutcome outcome = Transfer(session_, url, buffer, *this, watcher, &proxyCredentials_);
    LogTransfer(url, outcome, ::GetTickCount64() - started);
    WaitWhilePaused();
    if (!outcome.proxyAsksForCredentials) return outcome;
    // The system's password dialog is for a proxy of the system's settings only. Any other 407
    // comes from a server, which must not raise it, and is a failed transfer like any other.
    if (!session_.NamesProxy()) {
      support_log::Write({"No proxy sign-in for the 407: the system's settings name no proxy"});
      outcome.CloseRequest();
      return outcome;
    }
    if (Terminated() || signIns == kSignInsInARow) {
      outcome.CloseRequest();
      return outcome;
    }
    if (!SignInToProxy(outcome)) return outcome;
  }
}

bool InstallThread::SignInToProxy(TransferOutcome& outcome) {
  ProxyRequest = outcome.request.get();
  SignInResult = ERROR_CANCELLED;  // stands when no dialog could be shown
  const std::string challenge = ProxyChallenge(ProxyRequest);
  RunReport(&InstallThread::ProxySignIn);
  ProxyRequest = nullptr;
  const bool signedIn = SignInResult == ERROR_INTERNET_FORCE_RETRY;
  const bool cancelled = SignInResult == ERROR_CANCELLED;
  // Anything but OK counts as Cancel; Wine's dialog, for one, answers Cancel with 0. The verdict
  // comes before the proxy's own words.
  support_log::Write({"Proxy sign-in: ",
                      Terminated() ? "not shown, the setup is closing"
                      : signedIn   ? "OK"
                                   : "Cancel",
                      signedIn || cancelled || Terminated() ? "" : " (result ",
                      signedIn || cancelled || Terminated() ? "" : support_log::Part(SignInResult),
                      signedIn || cancelled || Terminated() ? "" : ")", "; proxy ",
                      session_.ProxyDescription(), ", challenge ",
                      support_log::Quoted(challenge)});
  if (signedIn) proxyCredentials_.TakeFrom(outcome.request.get());
  // The dialog is done with the request; the transfer runs again with a fresh one, since
  // sending this one again does not reach the server through every proxy.
  outcome.CloseRequest();
  return signedIn;
}

void InstallThread::WaitWhilePaused() const {
  while (Paused && !Terminated()) ::Sleep(kPollMilliseconds);
}

int32_t InstallThread::Ask(const std::string& text, int32_t style, int32_t preset) {
  MessageText = text;
  MessageStyle = style;
  MessageResult = preset;
  RunReport(&InstallThread::AskUser);
  return MessageResult;
}

void InstallThread::AskRetryOrAbort(const std::string& text) {
  if (Ask(text, MB_RETRYCANCEL | MB_ICONWARNING, IDABORT) != IDRETRY) aborted_ = true;
}

// No report runs once the worker has been asked to terminate: the window it would change may
// be gone, and the main thread may no longer be there to run it.
void InstallThread::RunReport(void (InstallThread::*report)()) {
  if (Terminated()) return;
  Synchronize([this, report] { (this->*report)(); });
}

// Each report does nothing once the worker has been asked to terminate, and discards whatever
// fails inside it: the worker goes on either way.
void InstallThread::ShowStatus() {
  if (Terminated()) return;
  try {
    view_.ShowStatus(StatusText);
  } catch (...) {
    support_log::Discarded("ShowStatus");
  }
}

void InstallThread::AskUser() {
  if (Terminated()) return;
  try {
    MessageResult = view_.AskUser(MessageText, static_cast<unsigned>(MessageStyle));
  } catch (...) {
    support_log::Discarded("AskUser");
  }
}

void InstallThread::ProxySignIn() {
  if (Terminated()) return;
  try {
    SignInResult = view_.SignInToProxy(ProxyRequest);
  } catch (...) {
    support_log::Discarded("ProxySignIn");
  }
}

void InstallThread::StartProgress() {
  if (Terminated()) return;
  try {
    view_.StartProgress(FileCount);
  } catch (...) {
    support_log::Discarded("StartProgress");
  }
}

void InstallThread::StepProgress() {
  if (Terminated()) return;
  try {
    view_.StepProgress();
  } catch (...) {
    support_log::Discarded("StepProgress");
  }
}

void InstallThread::CompleteInstall() {
  if (Terminated()) return;
  try {
    view_.CreateShortcuts();
    view_.AddProgramFirewallRules();
    view_.ShowFinishPage();
  } catch (...) {
    support_log::Discarded("CompleteInstall");
  }
}

void InstallThread::ReturnToReady() {
  if (Terminated()) return;
  try {
    view_.ShowReadyPage();
  } catch (...) {
    support_log::Discarded("ReturnToReady");
  }
}
