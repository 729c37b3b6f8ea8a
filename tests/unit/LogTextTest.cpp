#include <gtest/gtest.h>

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

TEST(LogText, ALogIsNamedByItsRunsStart) {
  EXPECT_EQ(LogFileName(kTime, 1), "Corvanta Web Setup 2026-12-08 09-05-04.log");
  EXPECT_EQ(LogFileName(kTime, 2), "Corvanta Web Setup 2026-12-08 09-05-04 (2).log");
}

}  // namespace
