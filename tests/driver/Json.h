#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Builds the one-line JSON answers of the driver. Texts from windows arrive as UTF-16 and leave
// as ASCII with \u escapes, so the reader never has to guess a code page.
namespace json {

std::string Quote(const std::wstring& text);
std::string Quote(const std::string& asciiText);
inline std::string Number(long long value) { return std::to_string(value); }
inline std::string Bool(bool value) { return value ? "true" : "false"; }
inline std::string Handle(HWND window) {
  return std::to_string(static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
}
constexpr char kNull[] = "null";

class Object {
 public:
  Object& Add(const char* key, const std::string& valueJson);
  std::string Str() const { return text_ + "}"; }

 private:
  std::string text_ = "{";
};

class Array {
 public:
  Array& Add(const std::string& valueJson);
  std::string Str() const { return text_ + "]"; }

 private:
  std::string text_ = "[";
};

}  // namespace json
