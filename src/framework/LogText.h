#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The support log's words and names, apart from the file that holds them.

// A local time to the millisecond, as the log writes it.
struct LogTime {
  int year, month, day, hour, minute, second, millisecond;
};

// A text as one line of the log: CR and LF become the two characters \r and \n, and every
// other byte below 0x20 \xNN, so that nothing a server sends can start a line of its own.
std::string EscapeLogText(std::string_view text);

// The longest line of the log, its CR LF included: a few long texts from a server must not use
// up the log. A longer line is cut, and ends in " [cut]".
constexpr size_t kLongestLogLine = 4096;

// A text from outside the setup (a server, the manifest, the system's settings) as a line
// quotes it: in double quotes, with the quote itself, every control byte and every byte of 0x7F
// and above written as \xNN, so that it can neither close its quotes, nor start a line, nor turn
// a viewer's reading direction. A backslash stays as it is, so that paths read naturally.
std::string QuoteLogText(std::string_view text);

// "HH:MM:SS.mmm thread text\r\n", the text escaped and the line cut at kLongestLogLine.
std::string LogLine(const LogTime& time, std::string_view thread, std::string_view text);

// The log's first line, which also dates it: as LogLine, with the date and local time's offset
// from UTC after the time stamp, "HH:MM:SS.mmm YYYY-MM-DD UTC+hh:mm thread text\r\n"; without
// an offset, "UTC offset unknown" stands in its place.
std::string LogFirstLine(const LogTime& time, std::optional<int> minutesFromUtc,
                         std::string_view thread, std::string_view text);

// "Corvanta Web Setup YYYY-MM-DD HH-MM-SS.log" by the run's start, with " (copy)" before
// ".log" from the second copy on.
std::string LogFileName(const LogTime& start, int copy);

// 0x8007000E, as HRESULTs are searched for.
std::string HexCode(uint32_t code);
