#pragma once

#include <cstdint>
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

// "HH:MM:SS.mmm thread text\r\n", the text escaped.
std::string LogLine(const LogTime& time, std::string_view thread, std::string_view text);

// "Corvanta Web Setup YYYY-MM-DD HH-MM-SS.log" by the run's start, with " (copy)" before
// ".log" from the second copy on.
std::string LogFileName(const LogTime& start, int copy);

// 0x8007000E, as HRESULTs are searched for.
std::string HexCode(uint32_t code);
