#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The install manifest map.txt: "BEGIN", records of three double-quoted fields, "END". It is
// handled as raw bytes; only the double quote has meaning.
constexpr std::string_view kManifestBegin = "BEGIN";
constexpr std::string_view kManifestEnd = "END";
constexpr char kManifestQuote = '"';
constexpr size_t kMaxManifestEntries = 128;
constexpr size_t kLongestManifestField = 255;
constexpr size_t kManifestNameCapacity = 260;
// The worker's transfer buffer holds 16,000,000 bytes and a transfer that fills it fails, so
// this is the largest manifest, and the largest file, that an install can receive.
constexpr size_t kLargestDownload = 15999999;

struct ManifestEntry {
  char LocalName[kManifestNameCapacity];   // relative path, backslash-separated, zero-terminated
  int32_t LocalNameLength;
  char RemoteName[kManifestNameCapacity];  // appended unchanged to the download base URL
  int32_t RemoteNameLength;
  int32_t Number;                          // the third field; the setup does not use it
};

using ManifestTable = std::array<ManifestEntry, kMaxManifestEntries>;

// Why a whole manifest is refused.
enum class ManifestFileFault {
  kNone,
  kTooShort,   // 8 bytes or less
  kTooLarge,   // more than kLargestDownload bytes
  kNoBegin,    // the first five bytes are not "BEGIN"
  kNoEnd,      // the last three bytes are not "END"
};

ManifestFileFault FindManifestFileFault(const uint8_t* bytes, size_t length);

// True when the manifest passes every file-level rule: longer than 8 bytes, no longer than
// kLargestDownload, starting with "BEGIN" and ending with "END".
bool ValidateManifest(const uint8_t* bytes, size_t length);

// Why a record is dropped. The first two end parsing.
enum class ManifestRecordFault {
  kUnclosedField,    // an opening quote without a closing one
  kMissingField,     // the data ends before the record's third field opens
  kFieldTooLong,     // a field of more than kLongestManifestField bytes
  kTableFull,        // the record comes after the kMaxManifestEntries-th entry
  kUnsafeLocalName,  // see FindLocalNameFault
  kUnsafeRemoteName, // see IsSafeRemoteName
  kBadNumber,        // the third field is not an integer of the accepted form
};

// Told what becomes of each record, for the publishers' manifest tool; the setup passes none.
// Offsets count bytes from the start of the manifest.
class ManifestObserver {
 public:
  // offset: the opening quote of the record's first field.
  virtual void EntryAccepted(size_t offset, const ManifestEntry& entry) = 0;
  // offset and field: the opening quote and the text of the field at fault; for a full table,
  // of the record's first field. The text of an unclosed field runs to the end of the data.
  virtual void RecordDropped(size_t offset, ManifestRecordFault fault, std::string_view field) = 0;

 protected:
  ~ManifestObserver() = default;
};

// Fills table with the accepted records in manifest order and returns their count (0 to 128).
// Called only on a validated manifest, yet safe on any bytes.
size_t ParseManifest(const uint8_t* bytes, size_t length, ManifestTable& table,
                     ManifestObserver* observer = nullptr);
