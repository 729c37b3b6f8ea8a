#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "framework/Handles.h"

// ANSI text of the system code page as the UTF-16 that COM objects take.
std::wstring Utf16FromAnsi(const std::string& text);

struct BstrTraits {
  using Handle = BSTR;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle text) noexcept { ::SysFreeString(text); }
};
using Bstr = UniqueHandle<BstrTraits>;
