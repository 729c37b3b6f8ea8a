#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "MapTool.h"
#include "manifest/Manifest.h"

const char kMakeHelp[] =
    "Usage: maptool make DIR\n"
    "\n"
    "Writes to standard output a manifest for every regular file under DIR, sorted by\n"
    "LocalName: the relative path with backslashes as LocalName, the same path with forward\n"
    "slashes and percent-encoding as RemoteName, and the file's size as the third field.\n"
    "Serve the manifest as map.txt with each file at its relative path beside it.\n"
    "\n"
    "Refuses (exit status 2, nothing written) a folder that the setup could not install as it\n"
    "is: no files or more than 128, a file of 16,000,000 bytes or more, a field over 255 bytes,\n"
    "a name the setup would drop, a name with a backslash, a byte of 0x80 or more (the setup\n"
    "reads names in the ANSI code page) or one of < > | ? * \", and two names that are one\n"
    "file on Windows because they differ only in case or in trailing dots and spaces.\n";

namespace fs = std::filesystem;

namespace {

constexpr char kFolderSeparator = '\\';
constexpr char kUrlSeparator = '/';
constexpr std::string_view kUnreservedInUrl = "-._~/";  // with the ASCII letters and digits
constexpr std::string_view kRefusedByWindows = "<>|?*\"";
constexpr std::string_view kTrailingBlanks = ". ";
constexpr unsigned char kFirstNonAscii = 0x80;
constexpr std::string_view kLineBreak = "\r\n";
constexpr char kFieldSeparator = ',';

struct ProductFile {
  std::string relativePath;  // as found, with forward slashes
  std::string localName;
  std::string remoteName;
  uintmax_t size;
};

bool IsAsciiAlphanumeric(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

std::string PercentEncoded(std::string_view path) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::string encoded;
  for (char c : path) {
    if (IsAsciiAlphanumeric(c) || kUnreservedInUrl.find(c) != std::string_view::npos) {
      encoded += c;
    } else {
      const auto byte = static_cast<unsigned char>(c);
      encoded += '%';
      encoded += kHexDigits[byte >> 4];
      encoded += kHexDigits[byte & 0xF];
    }
  }
  return encoded;
}

// The name as Windows compares it: ASCII letters in one case, and each part without the
// trailing dots and spaces that Windows strips.
std::string WindowsKey(std::string_view localName) {
  std::string key;
  size_t start = 0;
  for (;;) {
    const size_t end = localName.find(kFolderSeparator, start);
    std::string_view part = localName.substr(start, end - start);
    part = part.substr(0, part.find_last_not_of(kTrailingBlanks) + 1);
    for (char c : part) key += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (end == std::string_view::npos) return key;
    key += kFolderSeparator;
    start = end + 1;
  }
}

// Why the setup could not install this file as it is; empty when it could.
std::string FindFileProblem(const ProductFile& file) {
  const std::string& path = file.relativePath;
  if (std::any_of(path.begin(), path.end(),
                  [](char c) { return static_cast<unsigned char>(c) >= kFirstNonAscii; })) {
    return "the name holds a byte of 0x80 or more; the setup reads names in the ANSI code page, "
           "so it would install the file under another name";
  }
  if (path.find(kFolderSeparator) != std::string::npos) {
    return "the name holds a backslash, which the setup takes for a folder separator";
  }
  if (path.find_first_of(kRefusedByWindows) != std::string::npos) {
    return "the name holds one of < > | ? * \", which Windows does not allow in file names";
  }
  const LocalNameFault fault = FindLocalNameFault(file.localName);
  if (fault != LocalNameFault::kNone) {
    return std::string("the setup would drop it: its name ") + LocalNameFaultText(fault);
  }
  if (file.localName.size() > kLongestManifestField) {
    return "its LocalName has " + std::to_string(file.localName.size()) +
           " bytes; a field has at most " + std::to_string(kLongestManifestField);
  }
  if (file.remoteName.size() > kLongestManifestField) {
    return "its percent-encoded RemoteName has " + std::to_string(file.remoteName.size()) +
           " bytes; a field has at most " + std::to_string(kLongestManifestField);
  }
  if (file.size > kLargestDownload) {
    return "it has " + std::to_string(file.size) + " bytes; the setup cannot download a file of " +
           std::to_string(kLargestDownload + 1) + " bytes or more";
  }
  return std::string();
}

class Refusals {
 public:
  void Add(const std::string& message) { messages_.push_back(message); }
  void AddForFile(const ProductFile& file, const std::string& problem) {
    Add(Printable(file.relativePath) + ": " + problem);
  }
  bool Any() const { return !messages_.empty(); }
  int Report() const {
    for (const std::string& message : messages_) {
      std::fprintf(stderr, "maptool: %s\n", message.c_str());
    }
    std::fputs("maptool: no manifest written\n", stderr);
    return kExitError;
  }

 private:
  std::vector<std::string> messages_;
};

// Collects the regular files under root, or says why it cannot.
bool FindProductFiles(const fs::path& root, std::vector<ProductFile>& files, std::string& error) {
  const std::string prefix = (root / "").native();
  std::error_code code;
  for (fs::recursive_directory_iterator it(root, code), end; !code && it != end;
       it.increment(code)) {
    const fs::directory_entry& entry = *it;
    const std::string relativePath = entry.path().native().substr(prefix.size());
    std::error_code statusCode;
    if (entry.is_regular_file(statusCode)) {
      ProductFile file;
      file.relativePath = relativePath;
      file.localName = relativePath;
      std::replace(file.localName.begin(), file.localName.end(), kUrlSeparator, kFolderSeparator);
      file.remoteName = PercentEncoded(relativePath);
      file.size = entry.file_size(statusCode);
      if (statusCode) {
        error = Printable(relativePath) + ": " + statusCode.message();
        return false;
      }
      files.push_back(std::move(file));
    } else if (entry.is_directory(statusCode) && !entry.is_symlink(statusCode)) {
      continue;  // the walk goes into it
    } else {
      std::fprintf(stderr, "maptool: %s: skipped: not a regular file or folder\n",
                   Printable(relativePath).c_str());
    }
  }
  if (code) {
    error = code.message();
    return false;
  }
  return true;
}

// Files that Windows would take for one, or a file where another needs a folder.
void FindCollisions(const std::vector<ProductFile>& files, Refusals& refusals) {
  std::map<std::string, const ProductFile*> byKey;
  for (const ProductFile& file : files) {
    const auto [found, added] = byKey.emplace(WindowsKey(file.localName), &file);
    if (!added) {
      refusals.Add(Printable(found->second->relativePath) + " and " +
                   Printable(file.relativePath) +
                   " are one file on Windows, which ignores case and trailing dots and spaces");
    }
  }
  for (const ProductFile& file : files) {
    const std::string key = WindowsKey(file.localName);
    for (size_t end = key.find(kFolderSeparator); end != std::string::npos;
         end = key.find(kFolderSeparator, end + 1)) {
      const auto folder = byKey.find(key.substr(0, end));
      if (folder != byKey.end()) {
        refusals.Add(Printable(file.relativePath) +
                     " needs a folder where Windows finds the file " +
                     Printable(folder->second->relativePath));
        break;
      }
    }
  }
}

std::string QuotedField(std::string_view text) {
  return kManifestQuote + std::string(text) + kManifestQuote;
}

std::string ManifestOf(const std::vector<ProductFile>& files) {
  std::string manifest = std::string(kManifestBegin) + std::string(kLineBreak);
  for (const ProductFile& file : files) {
    manifest += QuotedField(file.localName) + kFieldSeparator + QuotedField(file.remoteName) +
                kFieldSeparator + QuotedField(std::to_string(file.size)) + std::string(kLineBreak);
  }
  return manifest + std::string(kManifestEnd);
}

// The setup's own reading of the manifest gives back every file, in order.
bool SetupReadsAllFiles(const std::string& manifest, const std::vector<ProductFile>& files) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(manifest.data());
  if (!ValidateManifest(bytes, manifest.size())) return false;
  auto table = std::make_unique<ManifestTable>();
  if (ParseManifest(bytes, manifest.size(), *table) != files.size()) return false;
  for (size_t i = 0; i < files.size(); ++i) {
    const ManifestEntry& entry = (*table)[i];
    if (files[i].localName != entry.LocalName || files[i].remoteName != entry.RemoteName ||
        static_cast<uintmax_t>(entry.Number) != files[i].size) {
      return false;
    }
  }
  return true;
}

}  // namespace

int RunMake(const std::string& folder) {
  const fs::path root(folder);
  std::error_code code;
  if (!fs::is_directory(root, code)) {
    std::fprintf(stderr, "maptool: %s is not a folder%s%s\n", Printable(folder).c_str(),
                 code ? ": " : "", code ? code.message().c_str() : "");
    return kExitError;
  }
  std::vector<ProductFile> files;
  std::string error;
  if (!FindProductFiles(root, files, error)) {
    std::fprintf(stderr, "maptool: cannot read %s: %s\n", Printable(folder).c_str(),
                 error.c_str());
    return kExitError;
  }
  std::sort(files.begin(), files.end(), [](const ProductFile& a, const ProductFile& b) {
    return a.localName < b.localName;
  });

  Refusals refusals;
  if (files.empty()) {
    refusals.Add(Printable(folder) + " holds no files; the setup would install nothing");
  } else if (files.size() > kMaxManifestEntries) {
    refusals.Add(Printable(folder) + " holds " + std::to_string(files.size()) +
                 " files; the setup installs at most " + std::to_string(kMaxManifestEntries));
  }
  for (const ProductFile& file : files) {
    const std::string problem = FindFileProblem(file);
    if (!problem.empty()) refusals.AddForFile(file, problem);
  }
  FindCollisions(files, refusals);
  if (refusals.Any()) return refusals.Report();

  const std::string manifest = ManifestOf(files);
  if (!SetupReadsAllFiles(manifest, files)) {
    std::fputs("maptool: internal error: the setup would not read the manifest back\n", stderr);
    return kExitError;
  }
  if (std::fwrite(manifest.data(), 1, manifest.size(), stdout) != manifest.size() ||
      std::fflush(stdout) != 0) {
    std::fprintf(stderr, "maptool: cannot write the manifest: %s\n", std::strerror(errno));
    return kExitError;
  }
  return kExitSuccess;
}
