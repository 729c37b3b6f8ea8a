#include "manifest/ManifestNames.h"

#include <cstddef>

namespace {

constexpr char kSeparator = '\\';
constexpr std::string_view kDoubleSeparator = "\\\\";
constexpr std::string_view kForbiddenCharacters = ":/";
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
constexpr std::string_view kTrailingBlanks = ". ";

constexpr std::string_view kDeviceNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$",
                                             "CLOCK$"};
// COM and LPT devices take a digit 1 to 9 or, in the ANSI code page, a superscript 1, 2 or 3.
constexpr std::string_view kNumberedDeviceNames[] = {"COM", "LPT"};
constexpr std::string_view kDeviceNumbers = "123456789\xB9\xB2\xB3";

bool IsControlByte(char c) { return static_cast<unsigned char>(c) < kFirstPrintable; }

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

std::string_view WithoutTrailing(std::string_view text, std::string_view blanks) {
  const size_t last = text.find_last_not_of(blanks);
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

// Windows opens the device whatever extension follows its name: "nul.txt" and "CON .log" are
// devices too.
bool IsDeviceName(std::string_view component) {
  const std::string_view stem = WithoutTrailing(component.substr(0, component.find('.')), " ");
  for (std::string_view device : kDeviceNames) {
    if (EqualIgnoringAsciiCase(stem, device)) return true;
  }
  for (std::string_view device : kNumberedDeviceNames) {
    if (stem.size() == device.size() + 1 &&
        EqualIgnoringAsciiCase(stem.substr(0, device.size()), device) &&
        kDeviceNumbers.find(stem.back()) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

LocalNameFault FindComponentFault(std::string_view component) {
  if (WithoutTrailing(component, kTrailingBlanks).empty()) return LocalNameFault::kEmptyComponent;
  if (IsDeviceName(component)) return LocalNameFault::kDeviceName;
  return LocalNameFault::kNone;
}

}  // namespace

LocalNameFault FindLocalNameFault(std::string_view localName) {
  if (localName.empty()) return LocalNameFault::kNone;
  for (char c : localName) {
    if (kForbiddenCharacters.find(c) != std::string_view::npos) {
      return LocalNameFault::kForbiddenCharacter;
    }
    if (IsControlByte(c)) return LocalNameFault::kControlByte;
  }
  if (localName.front() == kSeparator || localName.back() == kSeparator) {
    return LocalNameFault::kBackslashAtEdge;
  }
  if (localName.find(kDoubleSeparator) != std::string_view::npos) {
    return LocalNameFault::kDoubleBackslash;
  }

  size_t start = 0;
  for (;;) {
    const size_t end = localName.find(kSeparator, start);
    const LocalNameFault fault = FindComponentFault(localName.substr(start, end - start));
    if (fault != LocalNameFault::kNone) return fault;
    if (end == std::string_view::npos) return LocalNameFault::kNone;
    start = end + 1;
  }
}

bool IsSafeRemoteName(std::string_view remoteName) {
  for (char c : remoteName) {
    if (IsControlByte(c) || static_cast<unsigned char>(c) == kDelete) return false;
  }
  return true;
}
