#include "Resources.h"

#include <windows.h>

std::string LoadTextResource(int id) {
  HMODULE module = ::GetModuleHandleA(nullptr);
  HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!found) return std::string();
  HGLOBAL loaded = ::LoadResource(module, found);
  const char* bytes = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
  DWORD size = ::SizeofResource(module, found);
  if (!bytes) return std::string();

  std::string text;
  text.reserve(size + size / 32);
  for (DWORD i = 0; i < size; ++i) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) text += '\r';
    text += bytes[i];
  }
  return text;
}
