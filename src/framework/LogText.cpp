#include "LogText.h"

#include <cstddef>
#include <initializer_list>
#include <utility>

namespace {

constexpr char kPrefix[] = "Corvanta Web Setup ";
constexpr char kExtension[] = ".log";
// "YYYY-MM-DD HH-MM-SS"
constexpr size_t kStampLength = 19;
constexpr char kStampPattern[] = "0000-00-00 00-00-00";

// value in exactly `width` decimal digits, as dates and times are written.
void AppendDigits(std::string& text, int value, int width) {
  char digits[4];
  for (int i = width - 1; i >= 0; --i, value /= 10) digits[i] = static_cast<char>('0' + value % 10);
  text.append(digits, static_cast<size_t>(width));
}

// Numbers of fixed widths, with separators[i] between field i and field i + 1.
void AppendFields(std::string& text, std::initializer_list<std::pair<int, int>> fields,
                  const char* separators) {
  bool first = true;
  for (const auto& [value, width] : fields) {
    if (!first) text += *separators++;
    first = false;
    AppendDigits(text, value, width);
  }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The copy number of one of our names, 1 for the first; 0 when the name is not ours.
int CopyOf(std::string_view name, std::string_view& stamp) {
  const std::string_view prefix = kPrefix;
  const std::string_view extension = kExtension;
  if (name.size() < prefix.size() + kStampLength + extension.size() ||
      name.substr(0, prefix.size()) != prefix ||
      name.substr(name.size() - extension.size()) != extension) {
    return 0;
  }
  stamp = name.substr(prefix.size(), kStampLength);
  for (size_t i = 0; i < kStampLength; ++i) {
    if (kStampPattern[i] == '0' ? !IsDigit(stamp[i]) : stamp[i] != kStampPattern[i]) return 0;
  }
  std::string_view rest = name.substr(prefix.size() + kStampLength);
  rest.remove_suffix(extension.size());
  if (rest.empty()) return 1;
  // " (N)" with N from 2, written without leading zeros.
  if (rest.size() < 4 || rest.substr(0, 2) != " (" || rest.back() != ')' || rest[2] == '0') {
    return 0;
  }
  int copy = 0;
  for (char c : rest.substr(2, rest.size() - 3)) {
    if (!IsDigit(c) || copy > 100000) return 0;
    copy = copy * 10 + (c - '0');
  }
  return copy >= 2 ? copy : 0;
}

}  // namespace

std::string EscapeLogText(std::string_view text) {
  static const char kHexDigits[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      escaped += "\\r";
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (byte < 0x20) {
      escaped += "\\x";
      escaped += kHexDigits[byte >> 4];
      escaped += kHexDigits[byte & 0xF];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string LogLine(const LogTime& time, std::string_view thread, std::string_view text) {
  std::string line;
  AppendFields(line, {{time.hour, 2}, {time.minute, 2}, {time.second, 2}, {time.millisecond, 3}},
               "::.");
  line += ' ';
  line += thread;
  line += ' ';
  line += EscapeLogText(text);
  line += "\r\n";
  return line;
}

std::string LogFileName(const LogTime& start, int copy) {
  std::string name = kPrefix;
  AppendFields(name, {{start.year, 4}, {start.month, 2}, {start.day, 2}, {start.hour, 2},
                      {start.minute, 2}, {start.second, 2}},
               "-- --");
  if (copy > 1) name += " (" + std::to_string(copy) + ")";
  return name + kExtension;
}

std::vector<std::string> LogsToRemove(const std::vector<std::string>& names, size_t keep) {
  struct Ours {
    std::string_view stamp;
    int copy;
    const std::string* name;
    bool Before(const Ours& other) const {
      return stamp != other.stamp ? stamp < other.stamp : copy < other.copy;
    }
  };
  std::vector<Ours> ours;
  for (const std::string& name : names) {
    std::string_view stamp;
    if (int copy = CopyOf(name, stamp)) ours.push_back({stamp, copy, &name});
  }
  // The oldest, one at a time, by the start in the name and then the copy of the same second;
  // a temp folder holds a handful of our logs, so a plain search is enough.
  std::vector<std::string> remove;
  while (ours.size() > keep) {
    size_t oldest = 0;
    for (size_t i = 1; i < ours.size(); ++i) {
      if (ours[i].Before(ours[oldest])) oldest = i;
    }
    remove.push_back(*ours[oldest].name);
    ours.erase(ours.begin() + static_cast<std::ptrdiff_t>(oldest));
  }
  return remove;
}

std::string HexCode(uint32_t code) {
  static const char kHexDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += kHexDigits[(code >> shift) & 0xF];
  return text;
}
