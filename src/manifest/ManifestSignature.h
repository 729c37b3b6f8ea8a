#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// map.txt.sig, the publisher's signature of one release, published beside map.txt. Lines of
// text, each ending in "\n", in this order and nothing else:
//
//   corvanta-manifest-signature 1
//   release 7
//   manifest 1234 <SHA-256 of map.txt>
//   file 40000 <SHA-256> Corvanta.exe          one line per RemoteName, the name last
//   signature <r and s>
//
// Numbers are decimal without leading zeros, hashes and the signature lowercase hexadecimal.
// The signature is ECDSA P-256 over the SHA-256 of every byte before the signature line, r and
// s as 32 bytes each. A document has exactly one spelling, so nothing in it goes unsigned.

constexpr char kSignatureDocumentName[] = "map.txt.sig";
constexpr std::string_view kSignatureFormat = "corvanta-manifest-signature";
constexpr std::string_view kSignatureVersion = "1";

constexpr size_t kSha256Size = 32;
constexpr size_t kP256SignatureSize = 64;
// The setup receives the document into a buffer of its own; a transfer that fills it fails.
constexpr size_t kSignatureBufferSize = 1048576;
constexpr size_t kLargestSignatureDocument = kSignatureBufferSize - 1;

using Sha256Digest = std::array<uint8_t, kSha256Size>;
using P256Signature = std::array<uint8_t, kP256SignatureSize>;

struct SignedFile {
  std::string_view remoteName;  // empty on the manifest's own line
  uint32_t size = 0;
  Sha256Digest sha256 = {};
};

// What a document says. Its names point into the document's bytes, which must outlive it.
struct ManifestSignature {
  uint32_t release = 0;
  SignedFile manifest;
  std::vector<SignedFile> files;  // at most 128, each RemoteName once
  P256Signature signature = {};
  size_t signedLength = 0;  // the signature covers the document's first signedLength bytes
};

enum class SignatureFault {
  kNone,
  kTooLarge,          // more than kLargestSignatureDocument bytes
  kNotThisFormat,     // the first line does not name the format
  kOtherVersion,      // the first line names the format with another version
  kMalformedLine,     // a line that is not the one expected there, or not as it must be spelt
  kRepeatedName,      // a RemoteName on a second file line
  kTooManyFiles,      // more file lines than a manifest has entries
  kNoSignature,       // the document ends before its signature line
  kBytesAfterSignature,
};

// Reads a whole document. On kNone, signature holds it; otherwise *faultLine (when given) is
// the line at fault, counted from 1, or 0 for a document too large. Safe on any bytes.
SignatureFault ParseManifestSignature(const uint8_t* bytes, size_t length,
                                      ManifestSignature& signature, size_t* faultLine = nullptr);

// The file line for remoteName, or null when the document has none.
const SignedFile* FindSignedFile(const ManifestSignature& signature, std::string_view remoteName);

// Writing a document, for the publisher's tool (ManifestSignatureText.cpp): the signed part,
// every line before the signature line; and that line.
std::string ComposeSignedPart(uint32_t release, const SignedFile& manifest,
                              const std::vector<SignedFile>& files);
std::string ComposeSignatureLine(const P256Signature& signature);
std::string LowercaseHex(const uint8_t* bytes, size_t size);
