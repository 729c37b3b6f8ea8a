#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "framework/LogText.h"

namespace {

constexpr LogTime kTime = {2026, 12, 8, 9, 5, 4, 7};

// Nothing a server sends can start a line of its own: a name with a line break in it stays on
// its line, its control bytes spelt out.
TEST(LogText, ALineStaysOneLineWhateverItsTextHolds) {
  const struct {
    std::string text;
    std::string line;
  } cases[] = {
      {"Wrote C:\\Corvanta\\a.txt, 3 bytes", "09:05:04.007 main   Wrote C:\\Corvanta\\a.txt, 3 bytes\r\n"},
      {"GET https://h/evil\r\n09:05:04.008 main   Page entered: Finished",
       "09:05:04.007 main   GET https://h/evil\\r\\n09:05:04.008 main   Page entered: Finished\r\n"},
      {std::string("a\tb\x1b" "c\x7f\xe9\0d", 9), "09:05:04.007 main   a\\x09b\\x1Bc\x7f\xe9\\x00d\r\n"},
      {"lone\rCR and lone\nLF", "09:05:04.007 main   lone\\rCR and lone\\nLF\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(LogLine(kTime, "main  ", c.text), c.line);
}

std::string Repeat(const std::string& text, size_t count) {
  std::string repeated;
  for (size_t i = 0; i < count; ++i) repeated += text;
  return repeated;
}

// A server's status text can neither pass for the setup's verdict, nor close its quotes, nor
// turn a viewer's reading direction (U+200F, the right-to-left mark), nor fill the log: it
// stays one quoted line of 4,096 bytes at most, cut between escapes.
TEST(LogText, AServersTextIsQuotedEscapedAndCut) {
  const std::string rtlMark = "\xE2\x80\x8F";
  const std::string escapedMark = "\\xE2\\x80\\x8F";
  const std::string verdict = "GET failed, HTTP 404: status text ";
  const std::string stamp = "09:05:04.007 worker ";
  const struct {
    std::string statusText;
    std::string written;  // after the verdict, up to the line's end
  } cases[] = {
      {"Not \"Found\"" + rtlMark + ": complete",
       "\"Not \\x22Found\\x22" + escapedMark + ": complete\"\r\n"},
      {"C:\\Temp\r\n\x7f", "\"C:\\Temp\\x0D\\x0A\\x7F\"\r\n"},
      // 5,000 bytes; the line is cut at 4,096 bytes exactly.
      {"\"" + rtlMark + std::string(4996, 'x'),
       "\"\\x22" + escapedMark + std::string(4017, 'x') + " [cut]\r\n"},
      // 5,000 bytes of escapes; the cut falls before the escape it would split.
      {Repeat(rtlMark, 1666) + "ab", "\"" + Repeat(escapedMark, 336) + " [cut]\r\n"},
  };
  for (const auto& c : cases) {
    const std::string line = LogLine(kTime, "worker", verdict + QuoteLogText(c.statusText));
    EXPECT_EQ(line, stamp + verdict + c.written);
    EXPECT_LE(line.size(), kLongestLogLine);
  }
  // Wherever the cut falls against the escapes, the last one kept is whole.
  const std::string cutMark = " [cut]\r\n";
  for (size_t lead = 0; lead < 4; ++lead) {
    const std::string line = LogLine(
        kTime, "worker", verdict + QuoteLogText(std::string(lead, 'a') + Repeat(rtlMark, 1666)));
    ASSERT_GE(line.size(), cutMark.size());
    const std::string kept = line.substr(0, line.size() - cutMark.size());
    EXPECT_EQ(line.substr(kept.size()), cutMark) << lead;
    EXPECT_EQ(kept.size() - kept.rfind('\\'), 4u) << lead;
    EXPECT_GT(line.size(), kLongestLogLine - 4) << lead;
    EXPECT_LE(line.size(), kLongestLogLine) << lead;
  }
}

// The first line dates the log: the date and local time's offset from UTC follow its time.
TEST(LogText, TheFirstLineGivesTheDateAndTheOffsetFromUtc) {
  const struct {
    std::optional<int> minutesFromUtc;
    std::string line;
  } cases[] = {
      {60, "09:05:04.007 2026-12-08 UTC+01:00 main   Log opened\r\n"},
      {0, "09:05:04.007 2026-12-08 UTC+00:00 main   Log opened\r\n"},
      {-210, "09:05:04.007 2026-12-08 UTC-03:30 main   Log opened\r\n"},
      {std::nullopt, "09:05:04.007 2026-12-08 UTC offset unknown main   Log opened\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LogFirstLine(kTime, c.minutesFromUtc, "main  ", "Log opened"), c.line);
  }
}

TEST(LogText, ALogIsNamedByItsRunsStart) {
  EXPECT_EQ(LogFileName(kTime, 1), "Corvanta Web Setup 2026-12-08 09-05-04.log");
  EXPECT_EQ(LogFileName(kTime, 2), "Corvanta Web Setup 2026-12-08 09-05-04 (2).log");
}

}  // namespace
