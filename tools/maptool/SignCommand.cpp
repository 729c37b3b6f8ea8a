#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "MapTool.h"
#include "PublisherKeys.h"

const char kSignHelp[] =
    "Usage: maptool sign --key KEY [--key-password-file FILE] [--release N] DIR MAP\n"
    "\n"
    "Writes map.txt.sig, the publisher's signature of a release, to standard output: the\n"
    "release number N (0 unless given), the size and SHA-256 of the manifest MAP and of each\n"
    "file its entries name, and an ECDSA P-256 signature over all of them made with KEY.\n"
    "Publish it as map.txt.sig beside map.txt. A setup built with the matching public key\n"
    "installs nothing else.\n"
    "\n"
    "DIR is the folder as uploaded to the download path: each RemoteName, percent-decoded,\n"
    "names a file in it. KEY is a P-256 private key in PEM, SEC1 (EC PRIVATE KEY, as\n"
    "openssl ecparam -genkey writes it) or PKCS#8; if it is encrypted, its password is the\n"
    "first line of FILE.\n"
    "\n"
    "Refuses (exit status 2, nothing written, the reason on standard error) a manifest that\n"
    "maptool check refuses, an entry whose file is missing, and a key that is not a P-256\n"
    "private key.\n";

const char kFingerprintHelp[] =
    "Usage: maptool fingerprint KEYS\n"
    "\n"
    "Prints the fingerprint of each public key in the PEM file KEYS, one a line: the hex\n"
    "SHA-256 of its DER SubjectPublicKeyInfo. make release-check shows the same for each key\n"
    "built into the setup.\n";

namespace {

constexpr char kKeyOption[] = "--key";
constexpr char kPasswordFileOption[] = "--key-password-file";
constexpr char kReleaseOption[] = "--release";

int UsageError(const std::string& problem, const char* help) {
  std::fprintf(stderr, "maptool: %s\n\n%s", problem.c_str(), help);
  return kExitError;
}

// The password is the file's first line, as openssl's -passin file: takes it.
bool ReadPassword(const std::string& path, std::string& password) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::getline(file, password);
  if (!password.empty() && password.back() == '\r') password.pop_back();
  return !file.bad();
}

}  // namespace

int RunSign(const std::vector<std::string>& arguments) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(arguments, {kKeyOption, kPasswordFileOption, kReleaseOption}, parsed,
                      error)) {
    return UsageError("sign: " + error, kSignHelp);
  }
  const std::string* keyPath = parsed.Option(kKeyOption);
  if (!keyPath) return UsageError("sign: --key is missing", kSignHelp);
  if (parsed.operands.size() != 2) return UsageError("sign takes DIR and MAP", kSignHelp);
  uint32_t release = 0;
  if (const std::string* text = parsed.Option(kReleaseOption);
      text && !ParseReleaseNumber(*text, release)) {
    return UsageError("sign: --release takes a number from 0 to 4294967295", kSignHelp);
  }
  const std::string& folder = parsed.operands[0];
  const std::string& mapPath = parsed.operands[1];

  std::string password;
  const std::string* passwordFile = parsed.Option(kPasswordFileOption);
  if (passwordFile && !ReadPassword(*passwordFile, password)) {
    std::fprintf(stderr, "maptool: cannot read %s: %s\n", passwordFile->c_str(),
                 std::strerror(errno));
    return kExitError;
  }
  const Key key = ReadPrivateKey(*keyPath, passwordFile ? &password : nullptr, error);
  if (!key) {
    std::fprintf(stderr, "maptool: %s; nothing signed\n", error.c_str());
    return kExitError;
  }

  CheckedManifest manifest;
  if (CheckManifest(mapPath, true, manifest) != kExitSuccess) {
    std::fprintf(stderr, "maptool: maptool check refuses %s; nothing signed\n",
                 mapPath.c_str());
    return kExitError;
  }
  const std::vector<std::string> names = DistinctRemoteNames(manifest);
  std::vector<SignedFile> files;
  bool refused = false;
  for (const std::string& name : names) {
    SignedFile file;
    file.remoteName = name;
    std::string path;
    uint64_t size = 0;
    if (!ProductFileOf(folder, name, path, error)) {
      std::fprintf(stderr, "maptool: %s\n", error.c_str());
      refused = true;
    } else if (!HashFile(path, file.sha256, size, error)) {
      std::fprintf(stderr, "maptool: cannot read %s: %s\n", Printable(path).c_str(),
                   error.c_str());
      refused = true;
    } else if (size > kLargestDownload) {
      std::fprintf(stderr, "maptool: %s has %llu bytes; the setup cannot download a file of %zu "
                           "bytes or more\n",
                   Printable(path).c_str(), static_cast<unsigned long long>(size),
                   kLargestDownload + 1);
      refused = true;
    }
    file.size = static_cast<uint32_t>(size);
    files.push_back(file);
  }
  if (refused) {
    std::fputs("maptool: nothing signed\n", stderr);
    return kExitError;
  }

  const std::string_view manifestBytes(reinterpret_cast<const char*>(manifest.bytes.data()),
                                       manifest.bytes.size());
  SignedFile manifestLine;
  manifestLine.size = static_cast<uint32_t>(manifestBytes.size());
  manifestLine.sha256 = Sha256Of(manifestBytes);
  const std::string signedPart = ComposeSignedPart(release, manifestLine, files);
  P256Signature signature;
  if (!Sign(key.get(), signedPart, signature)) {
    std::fputs("maptool: OpenSSL could not sign; nothing signed\n", stderr);
    return kExitError;
  }
  const std::string document = signedPart + ComposeSignatureLine(signature);

  ManifestSignature readBack;
  if (ParseManifestSignature(reinterpret_cast<const uint8_t*>(document.data()), document.size(),
                             readBack) != SignatureFault::kNone) {
    std::fputs("maptool: internal error: the setup would not read the signature back\n", stderr);
    return kExitError;
  }
  if (std::fwrite(document.data(), 1, document.size(), stdout) != document.size() ||
      std::fflush(stdout) != 0) {
    std::fprintf(stderr, "maptool: cannot write the signature: %s\n", std::strerror(errno));
    return kExitError;
  }
  std::fprintf(stderr, "maptool: signed release %lu of %s and %zu files with key %s\n",
               static_cast<unsigned long>(release), mapPath.c_str(), files.size(),
               Fingerprint(key.get()).c_str());
  return kExitSuccess;
}

int RunFingerprint(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1) return UsageError("fingerprint takes exactly one argument",
                                               kFingerprintHelp);
  std::string error;
  const std::vector<Key> keys = ReadPublicKeys(arguments[0], error);
  if (keys.empty()) {
    std::fprintf(stderr, "maptool: %s\n", error.c_str());
    return kExitError;
  }
  for (const Key& key : keys) std::printf("%s\n", Fingerprint(key.get()).c_str());
  return std::fflush(stdout) == 0 ? kExitSuccess : kExitError;
}
