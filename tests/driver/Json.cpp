#include "Json.h"

#include <cstdio>

namespace json {

namespace {

void AppendEscaped(std::string& out, unsigned unit) {
  switch (unit) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
  }
  if (unit >= 0x20 && unit < 0x7f) {
    out += static_cast<char>(unit);
    return;
  }
  char escape[8];
  std::snprintf(escape, sizeof(escape), "\\u%04x", unit & 0xffff);
  out += escape;
}

}  // namespace

std::string Quote(const std::wstring& text) {
  std::string out = "\"";
  for (wchar_t unit : text) AppendEscaped(out, static_cast<unsigned>(unit));
  return out + "\"";
}

std::string Quote(const std::string& asciiText) {
  std::string out = "\"";
  for (char unit : asciiText) AppendEscaped(out, static_cast<unsigned char>(unit));
  return out + "\"";
}

Object& Object::Add(const char* key, const std::string& valueJson) {
  if (text_.size() > 1) text_ += ",";
  text_ += Quote(std::string(key));
  text_ += ":";
  text_ += valueJson;
  return *this;
}

Array& Array::Add(const std::string& valueJson) {
  if (text_.size() > 1) text_ += ",";
  text_ += valueJson;
  return *this;
}

}  // namespace json
