#include "PublisherCheck.h"

#include "BuildConfig.h"

namespace {

// A built-in key is its DER SubjectPublicKeyInfo, checked when the build was configured: an
// uncompressed P-256 point at the end, x then y.
constexpr size_t kPointSize = 64;
constexpr size_t kPointOffset = build_config::kPublisherKeySize - kPointSize;

}  // namespace

PublisherCheck::PublisherCheck() : document_(kSignatureBufferSize) {}

void PublisherCheck::BodyStarted() { hash_.Restart(); }

void PublisherCheck::Received(const char* data, size_t size) { hash_.Add(data, size); }

bool PublisherCheck::AcceptManifest(size_t manifestLength) {
  manifestAccepted_ = false;
  Sha256Digest manifestDigest;
  if (!hash_.Finish(manifestDigest)) return false;

  ManifestSignature signature;
  const auto* bytes = reinterpret_cast<const uint8_t*>(document_.Data());
  if (ParseManifestSignature(bytes, document_.Received(), signature) != SignatureFault::kNone ||
      !SignedByPublisher(signature, document_.Data()) ||
      signature.release < build_config::kMinimumRelease ||
      signature.manifest.size != manifestLength || signature.manifest.sha256 != manifestDigest) {
    return false;
  }
  signature_ = std::move(signature);
  manifestAccepted_ = true;
  return true;
}

bool PublisherCheck::AcceptFile(const char* remoteName, size_t length) {
  Sha256Digest digest;
  if (!manifestAccepted_ || !hash_.Finish(digest)) return false;
  const SignedFile* signedFile = FindSignedFile(signature_, remoteName);
  return signedFile && signedFile->size == length && signedFile->sha256 == digest;
}

bool PublisherCheck::SignedByPublisher(const ManifestSignature& signature, const char* document) {
  Sha256Digest digest;
  hash_.Restart();
  hash_.Add(document, signature.signedLength);
  if (!hash_.Finish(digest)) return false;
  for (const auto& key : build_config::kPublisherKeys) {
    if (VerifyP256Signature(key.data() + kPointOffset, digest, signature.signature)) return true;
  }
  return false;
}
