#include "PublisherCheck.h"

#include "BuildConfig.h"
#include "framework/SupportLog.h"

namespace {

// A built-in key is its DER SubjectPublicKeyInfo, checked when the build was configured: an
// uncompressed P-256 point at the end, x then y.
constexpr size_t kPointSize = 64;
constexpr size_t kPointOffset = build_config::kPublisherKeySize - kPointSize;
constexpr char kFileMatches[] = "matches the publisher's signature";

}  // namespace

PublisherCheck::PublisherCheck() : document_(kSignatureBufferSize) {}

void PublisherCheck::BodyStarted() { hash_.Restart(); }

void PublisherCheck::Received(const char* data, size_t size) { hash_.Add(data, size); }

bool PublisherCheck::AcceptManifest(size_t manifestLength) {
  manifestAccepted_ = false;
  const char* verdict = Verdict(manifestLength);
  support_log::Write({"Signature of ", kSignatureDocumentName, ": ", verdict});
  return manifestAccepted_;
}

const char* PublisherCheck::Verdict(size_t manifestLength) {
  Sha256Digest manifestDigest;
  if (!hash_.Finish(manifestDigest)) return "map.txt could not be hashed";
  ManifestSignature signature;
  size_t faultLine = 0;
  const auto* bytes = reinterpret_cast<const uint8_t*>(document_.Data());
  if (ParseManifestSignature(bytes, document_.Received(), signature, &faultLine) !=
      SignatureFault::kNone) {
    reason_ = "not a signature document of version 1, fault at line " + std::to_string(faultLine);
    return reason_.c_str();
  }
  const char* key = SignedByPublisher(signature, document_.Data());
  if (!key) return "no built-in key verifies the signature";
  reason_ = "release " + std::to_string(signature.release) + ", signed with the key " + key;
  if (signature.release < build_config::kMinimumRelease) {
    reason_ += ", below the ";
    reason_ += build_config::kMinimumReleaseText;
    return reason_.c_str();
  }
  if (signature.manifest.size != manifestLength || signature.manifest.sha256 != manifestDigest) {
    reason_ += ", names another map.txt than the one received";
    return reason_.c_str();
  }
  signature_ = std::move(signature);
  manifestAccepted_ = true;
  reason_ += ", verified";
  return reason_.c_str();
}

bool PublisherCheck::AcceptFile(const char* remoteName, size_t length) {
  Sha256Digest digest;
  const SignedFile* signedFile = nullptr;
  const char* verdict = kFileMatches;
  if (!manifestAccepted_ || !hash_.Finish(digest)) {
    verdict = "could not be checked";
  } else if (!(signedFile = FindSignedFile(signature_, remoteName))) {
    verdict = "is not in the publisher's signature";
  } else if (signedFile->size != length) {
    verdict = "has another size than the publisher signed";
  } else if (signedFile->sha256 != digest) {
    verdict = "has another SHA-256 than the publisher signed";
  }
  // The verdict first: the name is the manifest's, from outside.
  support_log::Write({"File ", verdict, ": ", support_log::Quoted(remoteName)});
  return verdict == kFileMatches;
}

const char* PublisherCheck::SignedByPublisher(const ManifestSignature& signature,
                                              const char* document) {
  Sha256Digest digest;
  hash_.Restart();
  hash_.Add(document, signature.signedLength);
  if (!hash_.Finish(digest)) return nullptr;
  for (size_t i = 0; i < build_config::kPublisherKeys.size(); ++i) {
    if (VerifyP256Signature(build_config::kPublisherKeys[i].data() + kPointOffset, digest,
                            signature.signature)) {
      return build_config::kPublisherKeyFingerprints[i];
    }
  }
  return nullptr;
}
