#include "manifest/ManifestNumber.h"

#include <cstddef>

namespace {

constexpr char kLeadingSpace = ' ';
constexpr uint32_t kLargestPositive = 2147483647u;
constexpr uint32_t kLargestNegativeMagnitude = 2147483648u;
constexpr uint32_t kSignBit = 0x80000000u;
constexpr uint32_t kLargestBeforeHexDigit = 0x0FFFFFFFu;
constexpr uint32_t kDecimalBase = 10;
constexpr uint32_t kHexBase = 16;

// The two's complement reading of pattern, spelled out because converting an unsigned value
// above INT32_MAX to int32_t is implementation-defined before C++20.
int32_t AsSigned(uint32_t pattern) {
  if (pattern < kSignBit) return static_cast<int32_t>(pattern);
  return static_cast<int32_t>(pattern - kSignBit) + INT32_MIN;
}

std::optional<uint32_t> DigitValue(char c, uint32_t base) {
  uint32_t value;
  if (c >= '0' && c <= '9') {
    value = static_cast<uint32_t>(c - '0');
  } else if (c >= 'a' && c <= 'f') {
    value = static_cast<uint32_t>(c - 'a') + kDecimalBase;
  } else if (c >= 'A' && c <= 'F') {
    value = static_cast<uint32_t>(c - 'A') + kDecimalBase;
  } else {
    return std::nullopt;
  }
  if (value >= base) return std::nullopt;
  return value;
}

// The length of the hexadecimal prefix that text starts with, 0 when it starts with none.
size_t HexPrefixLength(std::string_view text) {
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return 2;
  if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X')) return 1;
  return 0;
}

std::optional<uint32_t> ParseHexPattern(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  uint32_t pattern = 0;
  for (char c : digits) {
    const std::optional<uint32_t> digit = DigitValue(c, kHexBase);
    if (!digit || pattern > kLargestBeforeHexDigit) return std::nullopt;
    pattern = pattern * kHexBase + *digit;
  }
  return pattern;
}

std::optional<uint32_t> ParseDecimalMagnitude(std::string_view digits, uint32_t largest) {
  if (digits.empty()) return std::nullopt;
  uint32_t magnitude = 0;
  for (char c : digits) {
    const std::optional<uint32_t> digit = DigitValue(c, kDecimalBase);
    if (!digit || magnitude > (largest - *digit) / kDecimalBase) return std::nullopt;
    magnitude = magnitude * kDecimalBase + *digit;
  }
  return magnitude;
}

}  // namespace

std::optional<int32_t> ParseManifestNumber(std::string_view text) {
  const size_t start = text.find_first_not_of(kLeadingSpace);
  if (start == std::string_view::npos) return std::nullopt;
  text.remove_prefix(start);

  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }

  std::optional<uint32_t> magnitude;
  if (const size_t prefix = HexPrefixLength(text)) {
    magnitude = ParseHexPattern(text.substr(prefix));
  } else {
    const uint32_t largest = negative ? kLargestNegativeMagnitude : kLargestPositive;
    magnitude = ParseDecimalMagnitude(text, largest);
  }
  if (!magnitude) return std::nullopt;
  // Unsigned negation wraps, which gives "-$FFFFFFFF" the value 1 and "-2147483648" its own.
  return AsSigned(negative ? uint32_t{0} - *magnitude : *magnitude);
}
