#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>

// JSON values for the one-line answers and records of the test programs. Each program keeps the
// escapes its readers have always seen, so the choice of escapes is the caller's.
namespace json {

enum Escapes {
  // Every unit outside printable ASCII as \uXXXX, so the reader never has to guess a code page.
  kUnicodeEscapes,
  // The same, but line feeds, carriage returns and tabs as \n, \r and \t.
  kShortEscapes,
  // Control characters only: UTF-8 text stays UTF-8.
  kKeepUtf8,
};

namespace detail {

inline void AppendUnit(std::string& out, unsigned unit, Escapes escapes) {
  if (unit == '"' || unit == '\\') {
    out += '\\';
    out += static_cast<char>(unit);
    return;
  }
  if (escapes == kShortEscapes) {
    switch (unit) {
      case '\n': out += "\\n"; return;
      case '\r': out += "\\r"; return;
      case '\t': out += "\\t"; return;
      default: break;
    }
  }
  if (unit >= 0x20 && (unit < 0x7F || escapes == kKeepUtf8)) {
    out += static_cast<char>(unit);
    return;
  }
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", unit);
  out += escape;
}

template <typename Text>
std::string Quote(const Text& text, Escapes escapes) {
  std::string quoted = "\"";
  for (auto unit : text) {
    // A char may be signed; the escape wants its byte.
    using Unit = std::make_unsigned_t<decltype(unit)>;
    AppendUnit(quoted, static_cast<Unit>(unit), escapes);
  }
  return quoted + "\"";
}

}  // namespace detail

inline std::string Quote(const std::string& text, Escapes escapes = kUnicodeEscapes) {
  return detail::Quote(text, escapes);
}
inline std::string Quote(const std::wstring& text, Escapes escapes = kUnicodeEscapes) {
  return detail::Quote(text, escapes);
}

inline std::string Number(long long value) { return std::to_string(value); }
inline std::string Bool(bool value) { return value ? "true" : "false"; }
// A window or other handle as the number a reader passes back.
inline std::string Handle(const void* handle) {
  return std::to_string(static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
}
constexpr char kNull[] = "null";

// An object or array built member by member, without spaces: {"a":1,"b":[2,3]}.
class Object {
 public:
  Object& Add(const char* key, const std::string& valueJson) {
    if (text_.size() > 1) text_ += ",";
    text_ += Quote(std::string(key));
    text_ += ":";
    text_ += valueJson;
    return *this;
  }
  std::string Str() const { return text_ + "}"; }

 private:
  std::string text_ = "{";
};

class Array {
 public:
  Array& Add(const std::string& valueJson) {
    if (text_.size() > 1) text_ += ",";
    text_ += valueJson;
    return *this;
  }
  std::string Str() const { return text_ + "]"; }

 private:
  std::string text_ = "[";
};

}  // namespace json
