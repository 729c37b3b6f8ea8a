#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "manifest/Manifest.h"

// Builds manifests from readable records and reads parsed tables back as plain values.
namespace manifest_test {

struct Record {
  std::string localName;
  std::string remoteName;
  std::string number;
};

// A manifest as a publisher writes it: "BEGIN", one record a line, "END" last.
inline std::string ManifestOf(const std::vector<Record>& records) {
  std::string text = "BEGIN\r\n";
  for (const Record& record : records) {
    text += "\"" + record.localName + "\",\"" + record.remoteName + "\",\"" + record.number +
            "\"\r\n";
  }
  return text + "END";
}

struct Entry {
  std::string localName;
  std::string remoteName;
  int32_t number;

  bool operator==(const Entry& other) const {
    return localName == other.localName && remoteName == other.remoteName &&
           number == other.number;
  }
};

inline std::ostream& operator<<(std::ostream& out, const Entry& entry) {
  return out << "{\"" << entry.localName << "\", \"" << entry.remoteName << "\", "
             << entry.number << "}";
}

inline const uint8_t* BytesOf(const std::string& text) {
  return reinterpret_cast<const uint8_t*>(text.data());
}

// The accepted entries, each name taken as the zero-terminated string the setup uses, which
// must agree with its recorded length.
inline std::vector<Entry> Parse(const std::string& manifest, ManifestObserver* observer = nullptr) {
  auto table = std::make_unique<ManifestTable>();
  const size_t count = ParseManifest(BytesOf(manifest), manifest.size(), *table, observer);
  std::vector<Entry> entries;
  for (size_t i = 0; i < count; ++i) {
    const ManifestEntry& entry = (*table)[i];
    EXPECT_EQ(std::strlen(entry.LocalName), static_cast<size_t>(entry.LocalNameLength));
    EXPECT_EQ(std::strlen(entry.RemoteName), static_cast<size_t>(entry.RemoteNameLength));
    entries.push_back({std::string(entry.LocalName), std::string(entry.RemoteName), entry.Number});
  }
  return entries;
}

}  // namespace manifest_test
