#pragma once

#include <windows.h>

// A setup usually runs from the Downloads folder, next to whatever else was downloaded, so it
// must never pick up a DLL from its own folder or the current folder.
void RestrictDllSearchToSystemFolder();

// Loads a DLL that is not a KnownDLL from the system folder only. The module stays loaded for
// the life of the process. Returns null when it cannot be loaded.
HMODULE LoadSystemLibrary(const char* name);

// The address of an export of a module from LoadSystemLibrary, as the function type F.
template <typename F>
F GetSystemProc(HMODULE module, const char* name) {
  if (!module) return nullptr;
  return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}
