#include <cerrno>
#include <cstdio>
#include <cstring>

#include "MapTool.h"
#include "PublisherKeys.h"

const char kVerifyHelp[] =
    "Usage: maptool verify --key KEYS [--minimum-release N] DIR MAP SIG\n"
    "\n"
    "Checks a published release the way a setup built with the public keys in KEYS does:\n"
    "SIG (map.txt.sig) must be signed by one of the keys, for a release not below N (0\n"
    "unless given), and name the manifest MAP byte for byte; each file that MAP's entries\n"
    "name in DIR must have the size and SHA-256 that SIG gives for its RemoteName. KEYS is a\n"
    "PEM file of P-256 public keys, one PUBLIC KEY block each. DIR is the folder as uploaded:\n"
    "each RemoteName, percent-decoded, names a file in it.\n"
    "\n"
    "Exit status: 0 when the setup would install the release, 1 when it would not (the\n"
    "reasons on standard error), 2 on a usage or read error.\n";

namespace {

constexpr char kKeyOption[] = "--key";
constexpr char kMinimumReleaseOption[] = "--minimum-release";

int UsageError(const std::string& problem) {
  std::fprintf(stderr, "maptool: %s\n\n%s", problem.c_str(), kVerifyHelp);
  return kExitError;
}

std::string FaultText(SignatureFault fault, size_t line) {
  const std::string at = "line " + std::to_string(line);
  switch (fault) {
    case SignatureFault::kNone:
      return "it is readable";
    case SignatureFault::kTooLarge:
      return "it is larger than " + std::to_string(kLargestSignatureDocument) +
             " bytes, more than the setup receives";
    case SignatureFault::kNotThisFormat:
      return "line 1 does not name the format " + std::string(kSignatureFormat);
    case SignatureFault::kOtherVersion:
      return "line 1 names another version than " + std::string(kSignatureVersion) +
             ", the only one the setup reads";
    case SignatureFault::kMalformedLine:
      return at + " is not the line expected there, or not written as it must be";
    case SignatureFault::kRepeatedName:
      return at + " names a RemoteName a second time";
    case SignatureFault::kTooManyFiles:
      return at + " is a file line after the " + std::to_string(kMaxManifestEntries) + "th";
    case SignatureFault::kNoSignature:
      return "it ends before its signature line";
    case SignatureFault::kBytesAfterSignature:
      return at + " follows the signature line";
  }
  return "unknown fault";
}

std::string SizeAndHash(uint64_t size, const Sha256Digest& digest) {
  return std::to_string(size) + " bytes, SHA-256 " + LowercaseHex(digest.data(), digest.size());
}

class Mismatches {
 public:
  void Add(const std::string& reason) {
    std::fprintf(stderr, "maptool: %s\n", reason.c_str());
    any_ = true;
  }
  bool Any() const { return any_; }
  int Conclude() const {
    std::fputs("maptool: a setup built with these keys would not install this release\n", stderr);
    return kExitMismatch;
  }

 private:
  bool any_ = false;
};

}  // namespace

int RunVerify(const std::vector<std::string>& arguments) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(arguments, {kKeyOption, kMinimumReleaseOption}, parsed, error)) {
    return UsageError("verify: " + error);
  }
  const std::string* keyPath = parsed.Option(kKeyOption);
  if (!keyPath) return UsageError("verify: --key is missing");
  if (parsed.operands.size() != 3) return UsageError("verify takes DIR, MAP and SIG");
  uint32_t minimumRelease = 0;
  if (const std::string* text = parsed.Option(kMinimumReleaseOption);
      text && !ParseReleaseNumber(*text, minimumRelease)) {
    return UsageError("verify: --minimum-release takes a number from 0 to 4294967295");
  }
  const std::string& folder = parsed.operands[0];
  const std::string& mapPath = parsed.operands[1];
  const std::string& signaturePath = parsed.operands[2];

  const std::vector<Key> keys = ReadPublicKeys(*keyPath, error);
  if (keys.empty()) {
    std::fprintf(stderr, "maptool: %s\n", error.c_str());
    return kExitError;
  }
  std::vector<uint8_t> document;
  if (!ReadAtMost(signaturePath, kLargestSignatureDocument + 1, document)) {
    std::fprintf(stderr, "maptool: cannot read %s: %s\n", signaturePath.c_str(),
                 std::strerror(errno));
    return kExitError;
  }
  CheckedManifest manifest;
  if (CheckManifest(mapPath, false, manifest) == kExitError) return kExitError;

  Mismatches mismatches;
  ManifestSignature signature;
  size_t line = 0;
  const SignatureFault fault =
      ParseManifestSignature(document.data(), document.size(), signature, &line);
  if (fault != SignatureFault::kNone) {
    mismatches.Add(signaturePath + ": the setup cannot read it, so it takes the release as not "
                   "signed: " + FaultText(fault, line));
    return mismatches.Conclude();
  }

  const std::string_view signedPart(reinterpret_cast<const char*>(document.data()),
                                    signature.signedLength);
  const Key* signer = nullptr;
  for (const Key& key : keys) {
    if (!signer && Verify(key.get(), signedPart, signature.signature)) signer = &key;
  }
  if (!signer) mismatches.Add(signaturePath + " is signed by none of the keys in " + *keyPath);
  if (signature.release < minimumRelease) {
    mismatches.Add(signaturePath + " is for release " + std::to_string(signature.release) +
                   ", below the minimum " + std::to_string(minimumRelease));
  }
  const std::string_view manifestBytes(reinterpret_cast<const char*>(manifest.bytes.data()),
                                       manifest.bytes.size());
  const Sha256Digest manifestDigest = Sha256Of(manifestBytes);
  if (signature.manifest.size != manifestBytes.size() ||
      signature.manifest.sha256 != manifestDigest) {
    mismatches.Add(mapPath + " (" + SizeAndHash(manifestBytes.size(), manifestDigest) +
                   ") is not the manifest that " + signaturePath + " names (" +
                   SizeAndHash(signature.manifest.size, signature.manifest.sha256) + ")");
  }
  if (manifest.count == 0) {
    mismatches.Add("the setup would install nothing from " + mapPath + "; maptool check says why");
  }

  const std::vector<std::string> names = DistinctRemoteNames(manifest);
  for (const std::string& name : names) {
    const SignedFile* signedFile = FindSignedFile(signature, name);
    std::string path;
    Sha256Digest digest;
    uint64_t size = 0;
    if (!signedFile) {
      mismatches.Add(signaturePath + " names no file for RemoteName " + Printable(name));
    } else if (!ProductFileOf(folder, name, path, error)) {
      mismatches.Add(error);
    } else if (!HashFile(path, digest, size, error)) {
      mismatches.Add("cannot read " + Printable(path) + ": " + error);
    } else if (size != signedFile->size || digest != signedFile->sha256) {
      mismatches.Add(Printable(path) + " (" + SizeAndHash(size, digest) + ") is not the file " +
                     signaturePath + " names for RemoteName " + Printable(name) + " (" +
                     SizeAndHash(signedFile->size, signedFile->sha256) + ")");
    }
  }
  if (mismatches.Any()) return mismatches.Conclude();
  std::printf("%s: release %lu, signed by key %s; %s and %zu files match\n",
              signaturePath.c_str(), static_cast<unsigned long>(signature.release),
              Fingerprint(signer->get()).c_str(), mapPath.c_str(), names.size());
  return std::fflush(stdout) == 0 ? kExitSuccess : kExitError;
}
