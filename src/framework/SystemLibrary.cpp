#include "SystemLibrary.h"

#include <string>

namespace {

// Not declared by every SDK that still targets Windows 7 without KB2533623.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

bool g_defaultDirectoriesSet = false;

}  // namespace

void RestrictDllSearchToSystemFolder() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  auto setDefaultDllDirectories =
      reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
          ::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefaultDllDirectories && setDefaultDllDirectories(kSearchSystem32)) {
    g_defaultDirectoriesSet = true;
  }
  // Takes the current folder out of the search path on systems without the call above.
  ::SetDllDirectoryA("");
}

HMODULE LoadSystemLibrary(const char* name) {
  if (g_defaultDirectoriesSet) {
    // By name, so that the side-by-side Common Controls 6 of our manifest still apply.
    return ::LoadLibraryExA(name, nullptr, kSearchSystem32);
  }
  char systemFolder[MAX_PATH];
  UINT length = ::GetSystemDirectoryA(systemFolder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::string path(systemFolder, length);
  path += '\\';
  path += name;
  return ::LoadLibraryA(path.c_str());
}
