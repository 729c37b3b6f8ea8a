#include "LogText.h"

#include <initializer_list>
#include <utility>

namespace {

constexpr char kPrefix[] = "Corvanta Web Setup ";
constexpr char kExtension[] = ".log";

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

std::string HexCode(uint32_t code) {
  static const char kHexDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += kHexDigits[(code >> shift) & 0xF];
  return text;
}
