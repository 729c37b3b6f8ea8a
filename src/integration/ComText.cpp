#include "ComText.h"

WideText Utf16FromAnsi(const std::string& text) {
  WideText wide(1, L'\0');
  if (text.empty()) return wide;
  int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return wide;
  wide.assign(static_cast<size_t>(length) + 1, L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}
