#include "HttpFields.h"

#include <limits>

namespace {

std::optional<uint64_t> ParseDecimal(const std::string& text) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace

bool IsSecureUrl(const std::string& url) {
  static const char kScheme[] = "https://";
  if (url.size() < sizeof(kScheme) - 1) return false;
  for (size_t i = 0; i + 1 < sizeof(kScheme); ++i) {
    char c = url[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kScheme[i]) return false;
  }
  return true;
}

std::optional<uint32_t> ParseStatusCode(const std::string& text) {
  std::optional<uint64_t> value = ParseDecimal(text);
  if (!value || *value > 999) return std::nullopt;
  return static_cast<uint32_t>(*value);
}

bool IsSuccessStatus(uint32_t code) { return code >= 200 && code <= 299; }

std::optional<uint64_t> ParseContentLength(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  size_t last = text.find_last_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  return ParseDecimal(text.substr(first, last - first + 1));
}
