#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "manifest/Manifest.h"
#include "manifest/ManifestSignature.h"

// Feeds any bytes to the reader of map.txt.sig and checks what it promises the install worker.

namespace {

void Require(bool holds, const char* promise) {
  if (holds) return;
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::abort();
}

bool Inside(std::string_view part, const uint8_t* data, size_t size) {
  const auto* begin = reinterpret_cast<const char*>(data);
  return part.data() >= begin && part.data() + part.size() <= begin + size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ManifestSignature signature;
  size_t line = 0;
  const SignatureFault fault = ParseManifestSignature(data, size, signature, &line);
  if (fault != SignatureFault::kNone) {
    Require(fault == SignatureFault::kTooLarge ? line == 0 : line >= 1,
            "a fault is told at a line, or for the whole document");
    return 0;
  }

  Require(signature.files.size() <= kMaxManifestEntries, "at most as many files as entries");
  for (size_t i = 0; i < signature.files.size(); ++i) {
    const SignedFile& file = signature.files[i];
    Require(Inside(file.remoteName, data, size), "a name lies inside the document");
    Require(file.remoteName.size() <= kLongestManifestField, "a name fits a manifest field");
    Require(file.size <= kLargestDownload && signature.manifest.size <= kLargestDownload,
            "every size fits the transfer buffer");
    Require(FindSignedFile(signature, file.remoteName) == &file, "each name has one line");
  }
  Require(signature.signedLength < size &&
              std::string_view(reinterpret_cast<const char*>(data) + signature.signedLength,
                               size - signature.signedLength)
                      .substr(0, 10) == "signature ",
          "the signed part ends where the signature line starts");

  // One spelling only: nothing in an accepted document escapes the signature.
  const std::string rebuilt = ComposeSignedPart(signature.release, signature.manifest,
                                                signature.files) +
                              ComposeSignatureLine(signature.signature);
  Require(rebuilt == std::string_view(reinterpret_cast<const char*>(data), size),
          "an accepted document is written exactly as it reads");
  return 0;
}
