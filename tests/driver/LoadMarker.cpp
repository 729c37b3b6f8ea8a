// Planted under the name of a DLL that the setup must never take from its own folder. If any
// process loads it, it leaves "<its own path>.loaded" naming that process, and then behaves as
// an empty library.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t marker[MAX_PATH + 16] = {};
  DWORD length = ::GetModuleFileNameW(self, marker, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  ::lstrcatW(marker, L".loaded");
  HANDLE file = ::CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return TRUE;
  wchar_t host[MAX_PATH] = {};
  DWORD hostLength = ::GetModuleFileNameW(nullptr, host, MAX_PATH);
  DWORD written = 0;
  ::WriteFile(file, host, hostLength * sizeof(wchar_t), &written, nullptr);
  ::CloseHandle(file);
  return TRUE;
}
