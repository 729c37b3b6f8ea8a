// What sign and verify share: their options, release numbers, and the files of a release.
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>

#include "MapTool.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kOptionPrefix = "--";
constexpr char kUrlSeparator = '/';
constexpr char kPercent = '%';

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> PercentDecoded(std::string_view text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != kPercent) {
      decoded += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexDigitValue(text[i + 1]);
    const int low = HexDigitValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

// Parts that are empty, "." or "..", or a zero byte, would name something other than a file
// below the folder.
bool IsPlainRelativePath(std::string_view path) {
  if (path.find('\0') != std::string_view::npos) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = path.find(kUrlSeparator, start);
    const std::string_view part = path.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

}  // namespace

const std::string* ParsedArguments::Option(std::string_view name) const {
  for (const auto& [optionName, value] : options) {
    if (optionName == name) return &value;
  }
  return nullptr;
}

bool ParseArguments(const std::vector<std::string>& arguments,
                    const std::vector<std::string_view>& names, ParsedArguments& parsed,
                    std::string& error) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.compare(0, kOptionPrefix.size(), kOptionPrefix) != 0) {
      parsed.operands.push_back(argument);
      continue;
    }
    bool known = false;
    for (std::string_view name : names) known = known || argument == name;
    if (!known) {
      error = "unknown option '" + argument + "'";
      return false;
    }
    if (parsed.Option(argument)) {
      error = argument + " is given twice";
      return false;
    }
    if (i + 1 == arguments.size()) {
      error = argument + " needs a value";
      return false;
    }
    parsed.options.emplace_back(argument, arguments[++i]);
  }
  return true;
}

bool ParseReleaseNumber(const std::string& text, uint32_t& release) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > std::numeric_limits<uint32_t>::max()) return false;
  release = static_cast<uint32_t>(value);
  return true;
}

std::vector<std::string> DistinctRemoteNames(const CheckedManifest& manifest) {
  std::vector<std::string> names;
  for (size_t i = 0; i < manifest.count; ++i) {
    const ManifestEntry& entry = (*manifest.table)[i];
    const std::string name(entry.RemoteName, static_cast<size_t>(entry.RemoteNameLength));
    bool seen = false;
    for (const std::string& earlier : names) seen = seen || earlier == name;
    if (!seen) names.push_back(name);
  }
  return names;
}

bool ProductFileOf(const std::string& folder, std::string_view remoteName, std::string& path,
                   std::string& error) {
  const std::optional<std::string> decoded = PercentDecoded(remoteName);
  if (!decoded) {
    error = "RemoteName " + Printable(remoteName) + " has a % not followed by two hex digits";
    return false;
  }
  if (!IsPlainRelativePath(*decoded)) {
    error = "RemoteName " + Printable(remoteName) + " names no file below " + Printable(folder);
    return false;
  }
  path = (fs::path(folder) / *decoded).native();
  std::error_code code;
  if (!fs::is_regular_file(path, code)) {
    error = "RemoteName " + Printable(remoteName) + ": " + Printable(path) +
            (code ? ": " + code.message() : std::string(" is not a regular file"));
    return false;
  }
  return true;
}
