#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

// WinINet is not a KnownDLL, so it is loaded at run time from the system folder rather than
// imported, which would let a wininet.dll beside the setup be loaded instead.
class WinInetApi {
 public:
  WinInetApi();

  HMODULE Module() const { return module_; }

  // The server's last response text, or empty text when WinINet has none.
  std::string LastResponseText() const;

  decltype(&::InternetOpenA) OpenA = nullptr;
  decltype(&::InternetSetOptionA) SetOptionA = nullptr;
  decltype(&::InternetCrackUrlA) CrackUrlA = nullptr;
  decltype(&::InternetConnectA) ConnectA = nullptr;
  decltype(&::HttpOpenRequestA) OpenRequestA = nullptr;
  decltype(&::HttpSendRequestA) SendRequestA = nullptr;
  decltype(&::InternetReadFile) ReadFile = nullptr;
  decltype(&::InternetCloseHandle) CloseHandle = nullptr;
  decltype(&::InternetGetLastResponseInfoA) GetLastResponseInfoA = nullptr;
  decltype(&::HttpQueryInfoA) QueryInfoA = nullptr;
  decltype(&::InternetQueryOptionA) QueryOptionA = nullptr;
  decltype(&::InternetErrorDlg) ErrorDlg = nullptr;

 private:
  HMODULE module_ = nullptr;
};

// Loaded on first use and kept for the life of the process.
const WinInetApi& WinInet();

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle handle) noexcept { WinInet().CloseHandle(handle); }
};
