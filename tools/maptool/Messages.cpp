#include <cstdio>

#include "MapTool.h"

namespace {
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kLastPrintable = 0x7E;
}  // namespace

std::string Printable(std::string_view text) {
  std::string printable = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= kFirstPrintable && byte <= kLastPrintable) {
      printable += c;
    } else {
      char escaped[sizeof "\\xFF"];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      printable += escaped;
    }
  }
  return printable + "\"";
}

const char* LocalNameFaultText(LocalNameFault fault) {
  switch (fault) {
    case LocalNameFault::kNone:
      return "is safe";
    case LocalNameFault::kForbiddenCharacter:
      return "contains \":\" or \"/\"";
    case LocalNameFault::kControlByte:
      return "contains a byte below 0x20";
    case LocalNameFault::kBackslashAtEdge:
      return "starts or ends with a backslash";
    case LocalNameFault::kDoubleBackslash:
      return "contains two backslashes in a row";
    case LocalNameFault::kEmptyComponent:
      return "has a part that is empty once its trailing dots and spaces are removed";
    case LocalNameFault::kDeviceName:
      return "names a device such as CON, NUL, COM1 or LPT1";
  }
  return "is unsafe";
}
