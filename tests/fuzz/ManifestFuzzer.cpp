#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "manifest/Manifest.h"
#include "manifest/ManifestNames.h"

// Feeds any bytes to the manifest parser and checks what it promises the install worker.

namespace {

void Require(bool holds, const char* promise) {
  if (holds) return;
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::abort();
}

std::string_view LocalNameOf(const ManifestEntry& entry) {
  return std::string_view(entry.LocalName, static_cast<size_t>(entry.LocalNameLength));
}

std::string_view RemoteNameOf(const ManifestEntry& entry) {
  return std::string_view(entry.RemoteName, static_cast<size_t>(entry.RemoteNameLength));
}

bool SameEntry(const ManifestEntry& a, const ManifestEntry& b) {
  return LocalNameOf(a) == LocalNameOf(b) && RemoteNameOf(a) == RemoteNameOf(b) &&
         a.Number == b.Number;
}

void RequireWellFormedName(const char* name, int32_t length) {
  Require(length >= 0 && static_cast<size_t>(length) <= kLongestManifestField,
          "no field is over 255 bytes");
  Require(name[length] == '\0' && std::strlen(name) == static_cast<size_t>(length),
          "a name ends with its only zero byte, at its length");
}

// Checks what the parser tells an observer against the data and against what it returns.
class Witness : public ManifestObserver {
 public:
  Witness(const uint8_t* data, size_t size)
      : begin_(reinterpret_cast<const char*>(data)), size_(size) {}

  void EntryAccepted(size_t offset, const ManifestEntry&) override {
    Require(offset < size_ && (accepted == 0 || offset > lastAccepted_),
            "entries are told in manifest order, at offsets inside the data");
    lastAccepted_ = offset;
    ++accepted;
  }

  void RecordDropped(size_t offset, ManifestRecordFault, std::string_view field) override {
    Require(offset < size_, "a dropped record is told at an offset inside the data");
    Require(field.data() >= begin_ && field.data() + field.size() <= begin_ + size_,
            "a dropped record's field lies inside the data");
  }

  size_t accepted = 0;

 private:
  const char* begin_;
  size_t size_;
  size_t lastAccepted_ = 0;
};

// The accepted entries written out again as a publisher would write them.
std::string Rebuilt(const ManifestTable& table, size_t count) {
  std::string manifest = std::string(kManifestBegin) + "\r\n";
  for (size_t i = 0; i < count; ++i) {
    const ManifestEntry& entry = table[i];
    manifest += "\"" + std::string(LocalNameOf(entry)) + "\",\"" +
                std::string(RemoteNameOf(entry)) + "\",\"" + std::to_string(entry.Number) +
                "\"\r\n";
  }
  return manifest + std::string(kManifestEnd);
}

// Reused from input to input: clearing 68 KB three times an input would slow the search.
ManifestTable table;
ManifestTable tableWithoutObserver;
ManifestTable tableOfRebuilt;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The worker parses only validated manifests, but the parser must be safe on any bytes.
  ValidateManifest(data, size);
  Witness witness(data, size);
  const size_t count = ParseManifest(data, size, table, &witness);
  Require(count <= kMaxManifestEntries, "at most 128 entries");
  Require(witness.accepted == count, "the observer hears of every accepted entry");
  Require(ParseManifest(data, size, tableWithoutObserver) == count,
          "an observer changes nothing");

  for (size_t i = 0; i < count; ++i) {
    const ManifestEntry& entry = table[i];
    RequireWellFormedName(entry.LocalName, entry.LocalNameLength);
    RequireWellFormedName(entry.RemoteName, entry.RemoteNameLength);
    Require(IsSafeLocalName(LocalNameOf(entry)), "every accepted LocalName is safe");
    Require(IsSafeRemoteName(RemoteNameOf(entry)), "every accepted RemoteName is safe");
    Require(SameEntry(entry, tableWithoutObserver[i]), "an observer changes no entry");
  }

  const std::string rebuilt = Rebuilt(table, count);
  const auto* rebuiltBytes = reinterpret_cast<const uint8_t*>(rebuilt.data());
  Require(ValidateManifest(rebuiltBytes, rebuilt.size()), "a rebuilt manifest is valid");
  Require(ParseManifest(rebuiltBytes, rebuilt.size(), tableOfRebuilt) == count,
          "a rebuilt manifest gives as many entries");
  for (size_t i = 0; i < count; ++i) {
    Require(SameEntry(table[i], tableOfRebuilt[i]), "a rebuilt manifest gives the same entries");
  }
  return 0;
}
