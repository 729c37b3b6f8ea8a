#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "OwnedHandle.h"
#include "Probe.h"

// Asks questions and delivers messages inside another process: the probe DLL is loaded there
// with a remote LoadLibraryW, and its exports run as remote threads (see Probe.h). Each method
// returns false with a reason in error when the process could not be asked.
class RemoteProbe {
 public:
  explicit RemoteProbe(std::wstring probePath) : probePath_(std::move(probePath)) {}

  // The window's font, as its process sees it, in report.
  bool DescribeFont(HWND window, FontReport& report, std::string& error);
  // Runs the probe's export in the process with parameter; its exit code in answer.
  bool Call(DWORD processId, const char* exportName, DWORD parameter, DWORD& answer,
            std::string& error);
  // Sends the message to its window from a thread of the window's process, with the message
  // (and its rectangle) in that process's memory; fills in the answer.
  bool SendInside(InsideMessage& message, std::string& error);

 private:
  struct Injected {
    OwnedHandle process;
    DWORD remoteProbeBase = 0;
  };

  // The process with the probe loaded, loading it first if need be; null on failure.
  Injected* Target(DWORD processId, std::string& error);
  bool Inject(DWORD processId, Injected& target, std::string& error);
  bool RunRemote(HANDLE process, DWORD startAddress, DWORD parameter, DWORD& exitCode,
                 std::string& error);

  std::wstring probePath_;
  std::map<DWORD, Injected> injected_;
};
