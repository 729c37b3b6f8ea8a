#include "SingleInstance.h"

#include <windows.h>

#include <cstring>

#include "ProcessElevation.h"
#include "Unit1.h"
#include "framework/Handles.h"
#include "framework/SupportLog.h"

namespace {

constexpr char kMutexName[] = "Global\\CorvantaWebSetup";
constexpr char kAlreadyRunning[] = "Corvanta Web Setup is already running.";
// The other setup may have taken the mutex an instant ago, before its window shows.
constexpr DWORD kWindowWaitMilliseconds = 2000;
constexpr DWORD kPollMilliseconds = 100;

// Any program of the user's could take the mutex and show a window of the setup's class and
// caption, and this setup would end without a word; only an elevated process's window is the
// other setup's.
bool IsElevated(HWND window) {
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  KernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  return process && ProcessElevation(process.get()) == Elevation::kElevated;
}

BOOL CALLBACK FindVisibleSetupWindow(HWND window, LPARAM found) {
  char className[sizeof(kFormWebSetupClass) + 1] = {};
  char caption[sizeof(kFormWebSetupCaption) + 1] = {};
  ::GetClassNameA(window, className, sizeof(className));
  ::GetWindowTextA(window, caption, sizeof(caption));
  // A hidden one is not offered: at Finish the setup hides its window while it launches Corvanta.
  if (std::strcmp(className, kFormWebSetupClass) == 0 &&
      std::strcmp(caption, kFormWebSetupCaption) == 0 && ::IsWindowVisible(window) &&
      IsElevated(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

HWND WaitForSetupWindow() {
  HWND found = nullptr;
  for (DWORD waited = 0;; waited += kPollMilliseconds) {
    ::EnumWindows(&FindVisibleSetupWindow, reinterpret_cast<LPARAM>(&found));
    if (found || waited >= kWindowWaitMilliseconds) return found;
    ::Sleep(kPollMilliseconds);
  }
}

void BringToFront(HWND window) {
  if (::IsIconic(window)) ::ShowWindow(window, SW_RESTORE);
  // A question of the other setup's may be open over its window.
  if (::SetForegroundWindow(::GetLastActivePopup(window))) return;
  FLASHWINFO flash = {sizeof(flash), window, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
  ::FlashWindowEx(&flash);
}

}  // namespace

bool BecomeTheOnlySetup() {
  // Held until the process ends; the system releases it then.
  HANDLE mutex = ::CreateMutexA(nullptr, FALSE, kMutexName);
  const DWORD error = ::GetLastError();
  // ERROR_ACCESS_DENIED: it exists, and belongs to another user's setup. Any other failure
  // leaves nothing to tell by, and this setup runs.
  const bool another = mutex ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
  if (!mutex && !another) {
    support_log::Write({"Cannot create the mutex ", kMutexName, ": error ", error,
                        "; another setup would not be noticed"});
  }
  if (!another) return true;
  if (HWND window = WaitForSetupWindow()) {
    BringToFront(window);
  } else {
    // Without a word the setup would seem not to start at all, whoever holds the mutex.
    ::MessageBoxA(nullptr, kAlreadyRunning, kFormWebSetupCaption, MB_OK | MB_ICONWARNING);
  }
  return false;
}
