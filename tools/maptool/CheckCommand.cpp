#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "MapTool.h"
#include "manifest/Manifest.h"

const char kCheckHelp[] =
    "Usage: maptool check FILE\n"
    "\n"
    "Reads FILE as the setup reads map.txt, byte for byte, and prints each entry the setup\n"
    "would install, one a line: LocalName, a tab, RemoteName, a tab, the third field's value.\n"
    "Standard error tells why the file is refused or why each record is dropped, at its byte\n"
    "offset, and warns of entries with an empty LocalName, which the setup can never write.\n"
    "\n"
    "Exit status: 0 when at least one entry is accepted, 1 when the setup would install\n"
    "nothing, 2 on a usage or read error.\n";

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool ReadAtMost(const std::string& path, size_t limit, std::vector<uint8_t>& bytes) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  constexpr size_t kChunk = 1 << 16;
  while (bytes.size() < limit) {
    const size_t before = bytes.size();
    bytes.resize(before + std::min(kChunk, limit - before));
    const size_t read = std::fread(bytes.data() + before, 1, bytes.size() - before, file.get());
    bytes.resize(before + read);
    if (read == 0) break;
  }
  return !std::ferror(file.get());
}

namespace {

class CheckReport : public ManifestObserver {
 public:
  explicit CheckReport(const std::string& path) : path_(path) {}

  void Tell(size_t offset, const std::string& message) const {
    std::fprintf(stderr, "%s: byte %zu: %s\n", path_.c_str(), offset, message.c_str());
  }

  void EntryAccepted(size_t offset, const ManifestEntry& entry) override {
    if (entry.LocalNameLength == 0) {
      Tell(offset, "warning: entry with an empty LocalName: the setup accepts it but can never "
                   "write it, so the install cannot succeed");
    }
  }

  void RecordDropped(size_t offset, ManifestRecordFault fault, std::string_view field) override {
    Tell(offset, "record dropped: " + Reason(fault, field));
  }

 private:
  static std::string Reason(ManifestRecordFault fault, std::string_view field) {
    switch (fault) {
      case ManifestRecordFault::kUnclosedField:
        return "a field opens here and never closes; reading ends here";
      case ManifestRecordFault::kMissingField:
        return "the record has fewer than three fields; reading ends here";
      case ManifestRecordFault::kFieldTooLong:
        return "a field of " + std::to_string(field.size()) + " bytes; the longest allowed is " +
               std::to_string(kLongestManifestField);
      case ManifestRecordFault::kTableFull:
        return "the setup takes only the first " + std::to_string(kMaxManifestEntries) +
               " entries";
      case ManifestRecordFault::kUnsafeLocalName:
        return "LocalName " + Printable(field) + " " +
               LocalNameFaultText(FindLocalNameFault(field));
      case ManifestRecordFault::kUnsafeRemoteName:
        return "RemoteName " + Printable(field) + " contains a byte below 0x20 or the byte 0x7F";
      case ManifestRecordFault::kBadNumber:
        return "the third field " + Printable(field) + " is not an integer the setup accepts";
    }
    return "unknown reason";
  }

  std::string path_;
};

// Where the file breaks a file-level rule, and how.
void TellFileFault(const CheckReport& report, ManifestFileFault fault, size_t length) {
  switch (fault) {
    case ManifestFileFault::kNone:
      return;
    case ManifestFileFault::kTooShort:
      return report.Tell(0, "the file has " + std::to_string(length) +
                                " bytes; a manifest has more than 8");
    case ManifestFileFault::kTooLarge:
      return report.Tell(kLargestDownload, "the file is larger than " +
                                               std::to_string(kLargestDownload) +
                                               " bytes, more than the setup can download");
    case ManifestFileFault::kNoBegin:
      return report.Tell(0, "the file does not start with BEGIN");
    case ManifestFileFault::kNoEnd:
      return report.Tell(length - kManifestEnd.size(),
                         "the file does not end with END; nothing may follow it, not even a "
                         "line break");
  }
}

}  // namespace

int CheckManifest(const std::string& path, bool explain, CheckedManifest& manifest) {
  manifest.bytes.clear();
  manifest.table = std::make_unique<ManifestTable>();
  manifest.count = 0;
  if (!ReadAtMost(path, kLargestDownload + 1, manifest.bytes)) {
    std::fprintf(stderr, "maptool: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
    return kExitError;
  }

  CheckReport report(path);
  const std::vector<uint8_t>& bytes = manifest.bytes;
  const ManifestFileFault fileFault = FindManifestFileFault(bytes.data(), bytes.size());
  if (fileFault == ManifestFileFault::kNone) {
    manifest.count =
        ParseManifest(bytes.data(), bytes.size(), *manifest.table, explain ? &report : nullptr);
  } else if (explain) {
    TellFileFault(report, fileFault, bytes.size());
  }
  if (manifest.count == 0) {
    if (explain) {
      std::fprintf(stderr, "%s: no entry is accepted; the setup would install nothing\n",
                   path.c_str());
    }
    return kExitNothingInstalled;
  }
  return kExitSuccess;
}

int RunCheck(const std::string& path) {
  CheckedManifest manifest;
  const int status = CheckManifest(path, true, manifest);
  if (status == kExitError) return status;
  for (size_t i = 0; i < manifest.count; ++i) {
    const ManifestEntry& entry = (*manifest.table)[i];
    std::fwrite(entry.LocalName, 1, static_cast<size_t>(entry.LocalNameLength), stdout);
    std::putchar('\t');
    std::fwrite(entry.RemoteName, 1, static_cast<size_t>(entry.RemoteNameLength), stdout);
    std::printf("\t%ld\n", static_cast<long>(entry.Number));
  }
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "maptool: cannot write the entries: %s\n", std::strerror(errno));
    return kExitError;
  }
  return status;
}
