#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The install manifest map.txt: "BEGIN", records of three double-quoted fields, "END". It is
// handled as raw bytes; only the double quote has meaning.
constexpr size_t kMaxManifestEntries = 128;
constexpr size_t kLongestManifestField = 255;
constexpr size_t kManifestNameCapacity = 260;

struct ManifestEntry {
  char LocalName[kManifestNameCapacity];   // relative path, backslash-separated, zero-terminated
  int32_t LocalNameLength;
  char RemoteName[kManifestNameCapacity];  // appended unchanged to the download base URL
  int32_t RemoteNameLength;
  int32_t Number;                          // the third field; the setup does not use it
};

using ManifestTable = std::array<ManifestEntry, kMaxManifestEntries>;

// True when the manifest is longer than 8 bytes, starts with "BEGIN" and ends with "END".
bool ValidateManifest(const uint8_t* bytes, size_t length);

// Fills table with the accepted records in manifest order and returns their count (0 to 128).
// Called only on a validated manifest.
size_t ParseManifest(const uint8_t* bytes, size_t length, ManifestTable& table);
