#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The newest ten of our logs stay; a name that is not exactly one of ours is never removed.
TEST(LogText, OnlyOurOldestLogsAreRemoved) {
  std::vector<std::string> names = {LogFileName(kTime, 1), LogFileName(kTime, 2),
                                    LogFileName(kTime, 10),
                                    "Corvanta Web Setup 2026-12-08 09-05-04 (1).log",
                                    "Corvanta Web Setup 2026-12-08 09-05-04 (02).log",
                                    "Corvanta Web Setup notes.log",
                                    "Corvanta Web Setup 2026-13-08 9-05-04.log",
                                    "Corvanta Web Setup 2025-01-01 00-00-00.log.txt"};
  for (int day = 1; day <= 9; ++day) names.push_back(LogFileName({2026, 11, day, 12, 0, 0, 0}, 1));
  EXPECT_EQ(LogFileName(kTime, 2), "Corvanta Web Setup 2026-12-08 09-05-04 (2).log");
  EXPECT_EQ(LogsToRemove(names, 10),
            (std::vector<std::string>{"Corvanta Web Setup 2026-11-01 12-00-00.log",
                                      "Corvanta Web Setup 2026-11-02 12-00-00.log"}));
  EXPECT_EQ(LogsToRemove(names, 12), std::vector<std::string>());
}

}  // namespace
