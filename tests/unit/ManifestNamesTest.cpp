#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ManifestBuilder.h"
#include "manifest/ManifestNames.h"

namespace {

using namespace manifest_test;

using F = LocalNameFault;

// The setup writes with administrator rights: no name may leave the installation folder or
// reach a device. Each verdict is checked on its own and as a record the parser keeps or drops.
TEST(ManifestNames, LocalNamesStayInsideTheInstallationFolderAndOffDevices) {
  const struct {
    std::string name;
    LocalNameFault fault;
  } cases[] = {
      {"Corvanta.exe", F::kNone},
      {"Help\\Corvanta.chm", F::kNone},
      {"a\\b\\c\\d.txt", F::kNone},
      {"", F::kNone},
      {".config", F::kNone},
      {"file.", F::kNone},
      {"dir.\\file", F::kNone},
      {"a b\\c d", F::kNone},
      {" leading space", F::kNone},
      {"\x7F\x80\xFF", F::kNone},
      {"CONSOLE.txt", F::kNone},
      {"icon", F::kNone},
      {"CON1", F::kNone},
      {"xNUL", F::kNone},
      {"NUL_", F::kNone},
      {"CONIN", F::kNone},
      {"CLOCK", F::kNone},
      {"COM", F::kNone},
      {"COM0", F::kNone},
      {"COM10", F::kNone},
      {"LPT\xB4", F::kNone},
      {"COM1x.txt", F::kNone},
      {" CON", F::kNone},
      {".CON", F::kNone},

      {"C:\\Windows\\notepad.exe", F::kForbiddenCharacter},
      {"C:evil.dll", F::kForbiddenCharacter},
      {"file.txt:stream", F::kForbiddenCharacter},
      {"a/b", F::kForbiddenCharacter},
      {"../outside", F::kForbiddenCharacter},
      {"/etc/passwd", F::kForbiddenCharacter},
      {"tab\there", F::kControlByte},
      {"line\r\nbreak", F::kControlByte},
      {std::string("nul\0byte", 8), F::kControlByte},
      {"\x1F", F::kControlByte},
      {"\\Windows\\System32\\evil.dll", F::kBackslashAtEdge},
      {"folder\\", F::kBackslashAtEdge},
      {"\\", F::kBackslashAtEdge},
      {"a\\\\b", F::kDoubleBackslash},
      {".", F::kEmptyComponent},
      {"..", F::kEmptyComponent},
      {"...", F::kEmptyComponent},
      {"..\\Windows\\evil.dll", F::kEmptyComponent},
      {"a\\..\\..\\b", F::kEmptyComponent},
      {"a\\.\\b", F::kEmptyComponent},
      {" ", F::kEmptyComponent},
      {". .", F::kEmptyComponent},
      {"a\\ \\b", F::kEmptyComponent},
      {"a\\.. ", F::kEmptyComponent},
      {"CON", F::kDeviceName},
      {"con", F::kDeviceName},
      {"Con.txt", F::kDeviceName},
      {"nul.tar.gz", F::kDeviceName},
      {"aux ", F::kDeviceName},
      {"AUX  .log", F::kDeviceName},
      {"PRN", F::kDeviceName},
      {"conin$", F::kDeviceName},
      {"CONOUT$.txt", F::kDeviceName},
      {"Clock$", F::kDeviceName},
      {"COM1", F::kDeviceName},
      {"com9.dat", F::kDeviceName},
      {"LPT1", F::kDeviceName},
      {"lpt9", F::kDeviceName},
      {"COM\xB9", F::kDeviceName},
      {"com\xB2.txt", F::kDeviceName},
      {"LPT\xB3", F::kDeviceName},
      {"NUL\\file.txt", F::kDeviceName},
      {"bin\\com1", F::kDeviceName},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("\"" + c.name + "\"");
    EXPECT_EQ(FindLocalNameFault(c.name), c.fault);

    const std::vector<Entry> entries = Parse(ManifestOf({{c.name, "remote", "1"}}));
    if (c.fault == F::kNone) {
      EXPECT_EQ(entries, (std::vector<Entry>{{c.name, "remote", 1}}));
    } else {
      EXPECT_TRUE(entries.empty());
    }
  }
}

TEST(ManifestNames, RemoteNamesHoldNoControlBytes) {
  const struct {
    std::string name;
    bool safe;
  } cases[] = {
      {"bin/Corvanta.exe", true},
      {"", true},
      {"a b", true},
      {"%20?x=1#y", true},
      {"\x80\xFF", true},
      {"a\x7F", false},
      {"a\x1F", false},
      {"file\r\nHost: elsewhere", false},
      {std::string("a\0b", 3), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("\"" + c.name + "\"");
    EXPECT_EQ(IsSafeRemoteName(c.name), c.safe);
    EXPECT_EQ(Parse(ManifestOf({{"local", c.name, "1"}})).size(), c.safe ? 1u : 0u);
  }
}

}  // namespace
