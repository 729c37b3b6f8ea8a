#include "ProgramLaunch.h"

#include <string>

#include "framework/Handles.h"
#include "framework/SupportLog.h"
#include "setup/ProductNames.h"

namespace {
constexpr DWORD kIdleWaitMilliseconds = 5000;
// For the log: whether the last enumeration found a visible window of the program, and what
// SetForegroundWindow answered for it. The launch runs on the main thread only.
bool g_windowFound = false;
BOOL g_broughtToFront = FALSE;
}  // namespace

void StartAndBringToFront(const std::string& installDir) {
  // Quoted: unquoted, "C:\Program Files (x86)\..." would first be tried as "C:\Program.exe".
  std::string commandLine = "\"" + installDir + product::kExecutableName + "\"";

  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  support_log::Write({"Launching ", commandLine});
  // CreateProcessA may write into the command line; the string's own buffer is writable.
  if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process)) {
    support_log::Write({"CreateProcessA failed: error ", ::GetLastError()});
    return;  // a program that cannot be started does not keep setup from closing
  }
  KernelHandle processHandle(process.hProcess);
  KernelHandle threadHandle(process.hThread);
  DWORD idle = ::WaitForInputIdle(processHandle.get(), kIdleWaitMilliseconds);
  g_windowFound = false;
  ::EnumWindows(&BringProcessWindowToFront, static_cast<LPARAM>(process.dwProcessId));
  support_log::Write({"Started process ", process.dwProcessId, "; WaitForInputIdle returned ", idle,
                      !g_windowFound    ? "; no visible window of it to bring to the front"
                      : g_broughtToFront ? "; its window was brought to the front"
                                         : "; SetForegroundWindow refused its window"});
}

BOOL CALLBACK BringProcessWindowToFront(HWND window, LPARAM processId) {
  DWORD windowProcessId = 0;
  ::GetWindowThreadProcessId(window, &windowProcessId);
  if (windowProcessId == static_cast<DWORD>(processId) && ::IsWindowVisible(window)) {
    g_windowFound = true;
    g_broughtToFront = ::SetForegroundWindow(window);
    return FALSE;
  }
  return TRUE;
}
