#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "manifest/Manifest.h"
#include "manifest/ManifestNames.h"

// The exit statuses of maptool.
constexpr int kExitSuccess = 0;           // check: at least one entry accepted
constexpr int kExitNothingInstalled = 1;  // check: the setup would install nothing
constexpr int kExitMismatch = 1;          // verify: the setup would not take the release
constexpr int kExitError = 2;             // a usage or read error, or make's or sign's refusal

// maptool check FILE: prints the entries the setup would take from FILE and explains the rest.
int RunCheck(const std::string& path);
extern const char kCheckHelp[];

// maptool make DIR: prints a manifest for every regular file under DIR, or refuses.
int RunMake(const std::string& folder);
extern const char kMakeHelp[];

// maptool sign, verify and fingerprint: the publisher's signature of a release (map.txt.sig).
int RunSign(const std::vector<std::string>& arguments);
extern const char kSignHelp[];
int RunVerify(const std::vector<std::string>& arguments);
extern const char kVerifyHelp[];
int RunFingerprint(const std::vector<std::string>& arguments);
extern const char kFingerprintHelp[];

// Reads at most limit bytes: whatever lies beyond them, such a file is too large for the setup.
bool ReadAtMost(const std::string& path, size_t limit, std::vector<uint8_t>& bytes);

// A manifest read byte for byte as the setup reads it.
struct CheckedManifest {
  std::vector<uint8_t> bytes;
  std::unique_ptr<ManifestTable> table;
  size_t count = 0;
};

// Reads and checks path as check does, explaining on standard error when explain is set, but
// prints no entries. Returns check's exit status.
int CheckManifest(const std::string& path, bool explain, CheckedManifest& manifest);

// text quoted for a message: bytes outside printable ASCII become \xNN.
std::string Printable(std::string_view text);

// Why the setup drops a record with such a LocalName, as the end of a sentence.
const char* LocalNameFaultText(LocalNameFault fault);

// Options of the form "--name VALUE", each at most once, and the operands around them.
struct ParsedArguments {
  std::vector<std::pair<std::string, std::string>> options;
  std::vector<std::string> operands;

  const std::string* Option(std::string_view name) const;
};

// False, with the problem in error, on an option not in names or one without its value.
bool ParseArguments(const std::vector<std::string>& arguments,
                    const std::vector<std::string_view>& names, ParsedArguments& parsed,
                    std::string& error);

// A release number: decimal digits, 0 to 4294967295.
bool ParseReleaseNumber(const std::string& text, uint32_t& release);

// The distinct RemoteNames of a checked manifest's entries, in manifest order.
std::vector<std::string> DistinctRemoteNames(const CheckedManifest& manifest);

// The file that remoteName names under folder: the name percent-decoded, a relative path of
// plain parts. False, with the reason in error, when it names no regular file there.
bool ProductFileOf(const std::string& folder, std::string_view remoteName, std::string& path,
                   std::string& error);
