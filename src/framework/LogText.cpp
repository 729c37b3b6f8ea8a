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

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kLineEnd[] = "\r\n";
constexpr char kCutMark[] = " [cut]";

void AppendHexEscape(std::string& text, unsigned char byte) {
  text += "\\x";
  text += kHexDigits[byte >> 4];
  text += kHexDigits[byte & 0xF];
}

void AppendTime(std::string& line, const LogTime& time) {
  AppendFields(line, {{time.hour, 2}, {time.minute, 2}, {time.second, 2}, {time.millisecond, 3}},
               "::.");
}

// Ends line with the text, escaped, and the line's end, cut so that the whole stays within
// kLongestLogLine. The cut never splits an escape: it falls before a backslash among the last
// three bytes kept.
void AppendTextAndEnd(std::string& line, std::string_view text) {
  std::string escaped = EscapeLogText(text);
  const size_t room = kLongestLogLine - line.size() - (sizeof(kLineEnd) - 1);
  if (escaped.size() > room) {
    size_t keep = room - (sizeof(kCutMark) - 1);
    const size_t backslash = escaped.rfind('\\', keep - 1);
    if (backslash != std::string::npos && backslash + 3 >= keep) keep = backslash;
    escaped.resize(keep);
    escaped += kCutMark;
  }
  line += escaped;
  line += kLineEnd;
}

}  // namespace

std::string EscapeLogText(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      escaped += "\\r";
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (byte < 0x20) {
      AppendHexEscape(escaped, byte);
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string QuoteLogText(std::string_view text) {
  std::string quoted = "\"";
  quoted.reserve(text.size() + 2);
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || byte < 0x20 || byte >= 0x7F) {
      AppendHexEscape(quoted, byte);
    } else {
      quoted += c;
    }
  }
  quoted += '"';
  return quoted;
}

std::string LogLine(const LogTime& time, std::string_view thread, std::string_view text) {
  std::string line;
  AppendTime(line, time);
  line += ' ';
  line += thread;
  line += ' ';
  AppendTextAndEnd(line, text);
  return line;
}

std::string LogFirstLine(const LogTime& time, std::optional<int> minutesFromUtc,
                         std::string_view thread, std::string_view text) {
  std::string line;
  AppendTime(line, time);
  line += ' ';
  AppendFields(line, {{time.year, 4}, {time.month, 2}, {time.day, 2}}, "--");
  if (minutesFromUtc) {
    const int minutes = *minutesFromUtc;
    line += minutes < 0 ? " UTC-" : " UTC+";
    const int distance = minutes < 0 ? -minutes : minutes;
    AppendFields(line, {{distance / 60, 2}, {distance % 60, 2}}, ":");
  } else {
    line += " UTC offset unknown";
  }
  line += ' ';
  line += thread;
  line += ' ';
  AppendTextAndEnd(line, text);
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
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += kHexDigits[(code >> shift) & 0xF];
  return text;
}
