#include "ProgramLaunch.h"

#include <vector>

#include "framework/Handles.h"
#include "setup/ProductNames.h"

namespace {
constexpr DWORD kIdleWaitMilliseconds = 5000;
}  // namespace

void StartAndBringToFront(const std::string& installDir) {
  // Quoted: unquoted, "C:\Program Files (x86)\..." would first be tried as "C:\Program.exe".
  std::string commandLine = "\"" + installDir + product::kExecutableName + "\"";
  std::vector<char> mutableCommandLine(commandLine.begin(), commandLine.end());
  mutableCommandLine.push_back('\0');

  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, mutableCommandLine.data(), nullptr, nullptr, FALSE,
                        NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process)) {
    return;  // a program that cannot be started does not keep setup from closing
  }
  KernelHandle processHandle(process.hProcess);
  KernelHandle threadHandle(process.hThread);
  ::WaitForInputIdle(processHandle.get(), kIdleWaitMilliseconds);
  ::EnumWindows(&BringProcessWindowToFront, static_cast<LPARAM>(process.dwProcessId));
}

BOOL CALLBACK BringProcessWindowToFront(HWND window, LPARAM processId) {
  DWORD windowProcessId = 0;
  ::GetWindowThreadProcessId(window, &windowProcessId);
  if (windowProcessId == static_cast<DWORD>(processId) && ::IsWindowVisible(window)) {
    ::SetForegroundWindow(window);
    return FALSE;
  }
  return TRUE;
}
