// Prints what the system has to say about error codes, as two JSON strings per code on one line:
//   {"code": N, "system": "...", "wininet": "..."}
// "system" is the system's message table, "wininet" wininet.dll's messages; either is empty when
// that table has no text. Texts leave as ASCII with \u escapes, line breaks included.
//   SystemMessage CODE...
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/Json.h"

namespace {

// FormatMessageA fails under Wine for buffers of 32,768 bytes or more.
constexpr DWORD kBufferSize = 32767;
constexpr DWORD kUserDefaultLanguage = 0x400;

std::string Message(DWORD flags, const void* source, DWORD code) {
  static char buffer[kBufferSize];
  DWORD length = ::FormatMessageA(flags | FORMAT_MESSAGE_IGNORE_INSERTS, source, code,
                                  kUserDefaultLanguage, buffer, kBufferSize, nullptr);
  return std::string(buffer, length);
}

}  // namespace

int main(int argc, char** argv) {
  HMODULE wininet = ::LoadLibraryA("wininet.dll");
  for (int i = 1; i < argc; ++i) {
    DWORD code = static_cast<DWORD>(std::strtoul(argv[i], nullptr, 0));
    std::string system = Message(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code);
    std::string fromWininet = wininet ? Message(FORMAT_MESSAGE_FROM_HMODULE, wininet, code) : "";
    std::printf("{\"code\": %lu, \"system\": %s, \"wininet\": %s}\n", code,
                json::Quote(system).c_str(), json::Quote(fromWininet).c_str());
  }
  return 0;
}
