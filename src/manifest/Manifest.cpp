#include "manifest/Manifest.h"

#include <cstring>
#include <optional>

#include "manifest/ManifestNames.h"
#include "manifest/ManifestNumber.h"

namespace {

// "BEGIN" and "END" alone make no manifest.
constexpr size_t kLongestRefusedLength = kManifestBegin.size() + kManifestEnd.size();
constexpr size_t kFieldsPerRecord = 3;
constexpr size_t kLocalNameField = 0;
constexpr size_t kRemoteNameField = 1;
constexpr size_t kNumberField = 2;

std::string_view TextAt(const uint8_t* bytes, size_t offset, size_t length) {
  return std::string_view(reinterpret_cast<const char*>(bytes) + offset, length);
}

// The offset of the first quote at or after from, or length when there is none.
size_t FindQuote(const uint8_t* bytes, size_t length, size_t from) {
  if (from >= length) return length;
  const void* quote = std::memchr(bytes + from, kManifestQuote, length - from);
  return quote ? static_cast<size_t>(static_cast<const uint8_t*>(quote) - bytes) : length;
}

struct Field {
  size_t quoteOffset = 0;  // of the opening quote
  std::string_view text;
};

struct RecordScan {
  std::array<Field, kFieldsPerRecord> fields;
  size_t closedFields = 0;
  bool unclosed = false;  // the field after the closed ones opened and never closed
};

// Reads the next three quoted fields from pos on and moves pos past the last closing quote, or
// to the end of the data when the record is cut short.
RecordScan ScanRecord(const uint8_t* bytes, size_t length, size_t& pos) {
  RecordScan scan;
  for (Field& field : scan.fields) {
    const size_t opening = FindQuote(bytes, length, pos);
    const size_t closing = FindQuote(bytes, length, opening + 1);
    if (closing >= length) {
      scan.unclosed = opening < length;
      field.quoteOffset = opening;
      if (scan.unclosed) field.text = TextAt(bytes, opening + 1, length - opening - 1);
      pos = length;
      return scan;
    }
    field.quoteOffset = opening;
    field.text = TextAt(bytes, opening + 1, closing - opening - 1);
    pos = closing + 1;
    ++scan.closedFields;
  }
  return scan;
}

void CopyName(std::string_view text, char (&name)[kManifestNameCapacity], int32_t& nameLength) {
  std::memcpy(name, text.data(), text.size());
  name[text.size()] = '\0';
  nameLength = static_cast<int32_t>(text.size());
}

}  // namespace

ManifestFileFault FindManifestFileFault(const uint8_t* bytes, size_t length) {
  if (length <= kLongestRefusedLength) return ManifestFileFault::kTooShort;
  if (length > kLargestDownload) return ManifestFileFault::kTooLarge;
  if (TextAt(bytes, 0, kManifestBegin.size()) != kManifestBegin) return ManifestFileFault::kNoBegin;
  if (TextAt(bytes, length - kManifestEnd.size(), kManifestEnd.size()) != kManifestEnd) {
    return ManifestFileFault::kNoEnd;
  }
  return ManifestFileFault::kNone;
}

bool ValidateManifest(const uint8_t* bytes, size_t length) {
  return FindManifestFileFault(bytes, length) == ManifestFileFault::kNone;
}

size_t ParseManifest(const uint8_t* bytes, size_t length, ManifestTable& table,
                     ManifestObserver* observer) {
  size_t count = 0;
  size_t pos = 0;
  while (pos < length) {
    const RecordScan scan = ScanRecord(bytes, length, pos);
    const std::array<Field, kFieldsPerRecord>& fields = scan.fields;
    const auto drop = [observer](const Field& field, ManifestRecordFault fault) {
      if (observer) observer->RecordDropped(field.quoteOffset, fault, field.text);
    };

    if (scan.unclosed) {
      drop(fields[scan.closedFields], ManifestRecordFault::kUnclosedField);
      break;
    }
    if (scan.closedFields < kFieldsPerRecord) {
      // Bytes after the last record hold no quote; only a record cut short is worth a word.
      if (scan.closedFields > 0) drop(fields[0], ManifestRecordFault::kMissingField);
      break;
    }

    const Field* tooLong = nullptr;
    for (const Field& field : fields) {
      if (field.text.size() > kLongestManifestField) {
        tooLong = &field;
        break;
      }
    }
    const std::string_view localName = fields[kLocalNameField].text;
    const std::string_view remoteName = fields[kRemoteNameField].text;
    const std::optional<int32_t> number = ParseManifestNumber(fields[kNumberField].text);
    if (tooLong) {
      drop(*tooLong, ManifestRecordFault::kFieldTooLong);
    } else if (count >= kMaxManifestEntries) {
      drop(fields[kLocalNameField], ManifestRecordFault::kTableFull);
    } else if (!IsSafeLocalName(localName)) {
      drop(fields[kLocalNameField], ManifestRecordFault::kUnsafeLocalName);
    } else if (!IsSafeRemoteName(remoteName)) {
      drop(fields[kRemoteNameField], ManifestRecordFault::kUnsafeRemoteName);
    } else if (!number) {
      drop(fields[kNumberField], ManifestRecordFault::kBadNumber);
    } else {
      ManifestEntry& entry = table[count++];
      CopyName(localName, entry.LocalName, entry.LocalNameLength);
      CopyName(remoteName, entry.RemoteName, entry.RemoteNameLength);
      entry.Number = *number;
      if (observer) observer->EntryAccepted(fields[kLocalNameField].quoteOffset, entry);
    }
  }
  return count;
}
