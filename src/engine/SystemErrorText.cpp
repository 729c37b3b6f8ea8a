#include "SystemErrorText.h"

#include <wininet.h>

#include <vector>

#include "engine/WinInet.h"

namespace {

// FormatMessageA fails outright under Wine for buffers of 32,768 bytes or more, and Windows
// messages are far shorter.
constexpr DWORD kMessageBufferSize = 32767;
constexpr DWORD kUserDefaultLanguage = 0x400;

std::string FormatMessageText(DWORD flags, const void* source, DWORD code) {
  std::vector<char> buffer(kMessageBufferSize);
  DWORD length = ::FormatMessageA(flags | FORMAT_MESSAGE_IGNORE_INSERTS, source, code,
                                  kUserDefaultLanguage, buffer.data(), kMessageBufferSize, nullptr);
  return std::string(buffer.data(), length);
}

}  // namespace

std::string PlainSystemErrorText(DWORD code) {
  return FormatMessageText(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code);
}

std::string InternetErrorText(DWORD code) {
  if (code == ERROR_INTERNET_EXTENDED_ERROR) {
    return WinInet().LastResponseText();
  }
  std::string text = PlainSystemErrorText(code);
  if (!text.empty()) return text;
  if (HMODULE wininet = WinInet().Module()) {
    return FormatMessageText(FORMAT_MESSAGE_FROM_HMODULE, wininet, code);
  }
  return std::string();
}
