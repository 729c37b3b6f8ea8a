#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "framework/Handles.h"

// UTF-16 text for COM, zero-terminated. A vector rather than std::wstring: the setup needs no
// other wide-string operation, and the wide-string instantiation alone would add 35 KB.
using WideText = std::vector<wchar_t>;

// ANSI text of the system code page as the UTF-16 that COM objects take.
WideText Utf16FromAnsi(const std::string& text);

struct BstrTraits {
  using Handle = BSTR;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle text) noexcept { ::SysFreeString(text); }
};
using Bstr = UniqueHandle<BstrTraits>;
