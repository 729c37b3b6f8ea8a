#pragma once

#include <cstddef>
#include <string>

#include "engine/Cng.h"
#include "manifest/ManifestSignature.h"
#include "engine/Transfer.h"

// A setup built with publisher keys installs only what the publisher signed. It takes map.txt
// only with a map.txt.sig whose signature verifies against one of the built-in keys, whose
// release is not below the build's minimum, and which names exactly the map.txt received; then
// each file only with the size and SHA-256 signed for its RemoteName. It watches the transfers
// of map.txt and of every file, hashing their data as it arrives.
class PublisherCheck : public TransferWatcher {
 public:
  PublisherCheck();

  // Receives map.txt.sig; its transfer is not watched.
  TransferBuffer& DocumentBuffer() { return document_; }

  // After the watched transfer of map.txt, of manifestLength bytes, and the transfer of the
  // document into DocumentBuffer, both complete.
  bool AcceptManifest(size_t manifestLength);
  // After the watched transfer of a file, of length bytes, complete.
  bool AcceptFile(const char* remoteName, size_t length);

  void BodyStarted() override;
  void Received(const char* data, size_t size) override;

 private:
  // The fingerprint of the built-in key that verifies the document's signature, or null.
  const char* SignedByPublisher(const ManifestSignature& signature, const char* document);
  // Checks the document and map.txt, for AcceptManifest; says why, for the log.
  const char* Verdict(size_t manifestLength);

  TransferBuffer document_;
  Sha256Hash hash_;
  ManifestSignature signature_;
  bool manifestAccepted_ = false;
  std::string reason_;
};
