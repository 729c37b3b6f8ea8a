#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// The support log: one file per run in the temp folder, for whoever explains a failed install at
// a customer's site. Both threads write to it, a line at a time as things happen. Every call is
// safe from either thread, never throws, and does nothing once the log cannot be written. It
// never holds a secret: callers write what happened, to what, and the code that came back.
namespace support_log {

// A number written in hexadecimal, as HRESULTs are searched for: 0x80070005.
struct Hex {
  explicit Hex(long long code) noexcept : value(static_cast<uint32_t>(code)) {}
  uint32_t value;
};

// A text from outside the setup: a server's (a status text, a URL it redirected to, a proxy's
// challenge), the manifest's (a remote name, or a URL built from one) or the system's proxy
// settings. The line writes it quoted and escaped (QuoteLogText), so that nothing in it can pass
// for the setup's own words. Our own verdict goes before the first of them on its line.
struct Quoted {
  explicit Quoted(std::string_view outside) noexcept : text(outside) {}
  std::string_view text;
};

// One piece of a line: a text, a number, a Hex or a Quoted text. The line is put together
// inside Write, so that a call site builds nothing and cannot fail.
class Part {
 public:
  Part(const char* text) noexcept : text_(text ? text : "") {}
  Part(const std::string& text) noexcept : text_(text.c_str()), length_(text.size()) {}
  Part(int value) noexcept : Part(static_cast<long long>(value)) {}
  Part(long value) noexcept : Part(static_cast<long long>(value)) {}
  Part(long long value) noexcept
      : kind_(value < 0 ? kNegative : kNumber),
        number_(value < 0 ? 0 - static_cast<unsigned long long>(value)
                          : static_cast<unsigned long long>(value)) {}
  Part(unsigned value) noexcept : kind_(kNumber), number_(value) {}
  Part(unsigned long value) noexcept : kind_(kNumber), number_(value) {}
  Part(unsigned long long value) noexcept : kind_(kNumber), number_(value) {}
  Part(Hex hex) noexcept : kind_(kHex), number_(hex.value) {}
  Part(Quoted quoted) noexcept
      : kind_(kQuoted), text_(quoted.text.data()), length_(quoted.text.size()) {}

  void AppendTo(std::string& line) const;

 private:
  enum Kind { kText, kNumber, kNegative, kHex, kQuoted };
  Kind kind_ = kText;
  const char* text_ = nullptr;
  size_t length_ = static_cast<size_t>(-1);  // up to the terminating zero
  unsigned long long number_ = 0;
};

// Notes the run's start, whose local time names the log, and which thread is the main one.
// Opens nothing, so that the window shows as quickly as without a log.
void Begin() noexcept;

// Opens the log once the window shows and writes the lines noted before. It removes nothing
// from the temp folder, whose paths the unelevated user can redirect: old logs are left to the
// system's clean-up. Without a temp folder that takes it, the setup runs on without a log.
void Open() noexcept;

// One line, its parts one after the other, cut at 4,096 bytes. The log's first line also
// gives the date and local time's offset from UTC.
void Write(std::initializer_list<Part> parts) noexcept;

// Inside a catch block: names the exception that `where` discards, with its message.
void Discarded(const char* where) noexcept;

// A message box whose text and answer go into the log; returns the answer.
int AskAndLog(HWND owner, const std::string& text, const char* caption, UINT style);

}  // namespace support_log
