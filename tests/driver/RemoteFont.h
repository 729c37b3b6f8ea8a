#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "FontReport.h"
#include "OwnedHandle.h"

// Describes the fonts of another process's windows. Under Wine, WM_GETFONT sent from another
// process answers 0 and a font handle means nothing outside the process that made it, so the
// questions are asked inside that process: the font probe DLL is loaded there with a remote
// LoadLibraryW, and its DescribeFont runs as a remote thread that fills a shared section.
class RemoteFontReader {
 public:
  explicit RemoteFontReader(std::wstring probePath) : probePath_(std::move(probePath)) {}

  // False with a reason in error when the process could not be asked.
  bool Describe(HWND window, FontReport& report, std::string& error);

 private:
  struct Injected {
    OwnedHandle process;
    DWORD remoteProbeBase = 0;
  };

  bool Inject(DWORD processId, Injected& target, std::string& error);
  bool RunRemote(HANDLE process, DWORD startAddress, DWORD parameter, DWORD& exitCode,
                 std::string& error);

  std::wstring probePath_;
  std::map<DWORD, Injected> injected_;
};
