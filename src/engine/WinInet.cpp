#include "WinInet.h"

#include <vector>

#include "framework/SystemLibrary.h"

namespace {

// The size the server's response text is read with.
constexpr DWORD kResponseBufferSize = 65535;

}  // namespace

WinInetApi::WinInetApi() : module_(LoadSystemLibrary("wininet.dll")) {
  OpenA = GetSystemProc<decltype(OpenA)>(module_, "InternetOpenA");
  SetOptionA = GetSystemProc<decltype(SetOptionA)>(module_, "InternetSetOptionA");
  CrackUrlA = GetSystemProc<decltype(CrackUrlA)>(module_, "InternetCrackUrlA");
  ConnectA = GetSystemProc<decltype(ConnectA)>(module_, "InternetConnectA");
  OpenRequestA = GetSystemProc<decltype(OpenRequestA)>(module_, "HttpOpenRequestA");
  SendRequestA = GetSystemProc<decltype(SendRequestA)>(module_, "HttpSendRequestA");
  ReadFile = GetSystemProc<decltype(ReadFile)>(module_, "InternetReadFile");
  CloseHandle = GetSystemProc<decltype(CloseHandle)>(module_, "InternetCloseHandle");
  GetLastResponseInfoA =
      GetSystemProc<decltype(GetLastResponseInfoA)>(module_, "InternetGetLastResponseInfoA");
  QueryInfoA = GetSystemProc<decltype(QueryInfoA)>(module_, "HttpQueryInfoA");
  QueryOptionA = GetSystemProc<decltype(QueryOptionA)>(module_, "InternetQueryOptionA");
  ErrorDlg = GetSystemProc<decltype(ErrorDlg)>(module_, "InternetErrorDlg");
}

std::string WinInetApi::LastResponseText() const {
  if (!GetLastResponseInfoA) return std::string();
  std::vector<char> buffer(kResponseBufferSize);
  DWORD error = 0;
  DWORD length = kResponseBufferSize;
  if (!GetLastResponseInfoA(&error, buffer.data(), &length)) return std::string();
  if (length >= kResponseBufferSize) length = kResponseBufferSize - 1;
  return std::string(buffer.data(), length);
}

const WinInetApi& WinInet() {
  static const WinInetApi api;
  return api;
}
