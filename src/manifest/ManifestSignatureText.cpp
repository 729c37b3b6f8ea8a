#include "manifest/ManifestSignature.h"
#include "manifest/ManifestSignatureWords.h"

namespace {

using namespace signature_words;

constexpr char kHexDigits[] = "0123456789abcdef";

std::string SizeAndHash(const SignedFile& file) {
  return std::to_string(file.size) + kSeparator + LowercaseHex(file.sha256.data(), kSha256Size);
}

}  // namespace

std::string ComposeSignedPart(uint32_t release, const SignedFile& manifest,
                              const std::vector<SignedFile>& files) {
  std::string text = std::string(kSignatureFormat) + kSeparator + std::string(kSignatureVersion) +
                     kLineEnd;
  text += std::string(kRelease) + kSeparator + std::to_string(release) + kLineEnd;
  text += std::string(kManifest) + kSeparator + SizeAndHash(manifest) + kLineEnd;
  for (const SignedFile& file : files) {
    text += std::string(kFile) + kSeparator + SizeAndHash(file) + kSeparator +
            std::string(file.remoteName) + kLineEnd;
  }
  return text;
}

std::string ComposeSignatureLine(const P256Signature& signature) {
  return std::string(kSignature) + kSeparator +
         LowercaseHex(signature.data(), kP256SignatureSize) + kLineEnd;
}

std::string LowercaseHex(const uint8_t* bytes, size_t size) {
  std::string text;
  text.reserve(2 * size);
  for (size_t i = 0; i < size; ++i) {
    text += kHexDigits[bytes[i] >> 4];
    text += kHexDigits[bytes[i] & 0xF];
  }
  return text;
}
