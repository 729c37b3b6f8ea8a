#include "PublisherKeys.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kP256GroupName[] = "prime256v1";
constexpr size_t kCoordinateSize = kP256SignatureSize / 2;
constexpr size_t kReadChunk = 1 << 16;

struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct DigestContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct EcdsaSignatureFree {
  void operator()(ECDSA_SIG* signature) const { ECDSA_SIG_free(signature); }
};
struct OpenSslFree {
  void operator()(unsigned char* bytes) const { OPENSSL_free(bytes); }
};
struct FileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using Bio = std::unique_ptr<BIO, BioFree>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextFree>;
using EcdsaSignature = std::unique_ptr<ECDSA_SIG, EcdsaSignatureFree>;
using OpenSslBytes = std::unique_ptr<unsigned char, OpenSslFree>;
using File = std::unique_ptr<std::FILE, FileClose>;

bool IsP256(EVP_PKEY* key) {
  char group[64] = {};
  return EVP_PKEY_is_a(key, "EC") &&
         EVP_PKEY_get_group_name(key, group, sizeof group, nullptr) &&
         std::strcmp(group, kP256GroupName) == 0;
}

// Never prompts: without a password file an encrypted key simply fails to open.
int PasswordFromFile(char* buffer, int size, int, void* password) {
  if (!password) return -1;
  const std::string& text = *static_cast<const std::string*>(password);
  if (text.size() > static_cast<size_t>(size)) return -1;
  std::memcpy(buffer, text.data(), text.size());
  return static_cast<int>(text.size());
}

std::string OpenSslReason() {
  const unsigned long code = ERR_peek_last_error();
  const char* reason = code ? ERR_reason_error_string(code) : nullptr;
  ERR_clear_error();
  return reason ? reason : "unknown reason";
}

}  // namespace

Key ReadPrivateKey(const std::string& path, const std::string* password, std::string& error) {
  Bio file(BIO_new_file(path.c_str(), "r"));
  if (!file) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  Key key(PEM_read_bio_PrivateKey(file.get(), nullptr, &PasswordFromFile,
                                  const_cast<std::string*>(password)));
  if (!key) {
    error = path + " holds no private key that maptool can open (" + OpenSslReason() + ")";
    if (!password) error += "; an encrypted key needs --key-password-file";
    return nullptr;
  }
  if (!IsP256(key.get())) {
    error = path + " holds a private key that is not an ECDSA P-256 key";
    return nullptr;
  }
  return key;
}

std::vector<Key> ReadPublicKeys(const std::string& path, std::string& error) {
  std::vector<Key> keys;
  Bio file(BIO_new_file(path.c_str(), "r"));
  if (!file) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return keys;
  }
  while (Key key{PEM_read_bio_PUBKEY(file.get(), nullptr, nullptr, nullptr)}) {
    if (!IsP256(key.get())) {
      error = "key " + std::to_string(keys.size() + 1) + " of " + path +
              " is not an ECDSA P-256 public key";
      keys.clear();
      return keys;
    }
    keys.push_back(std::move(key));
  }
  ERR_clear_error();  // the end of the file reads as a missing block
  if (keys.empty()) error = path + " holds no PEM PUBLIC KEY block";
  return keys;
}

std::string Fingerprint(EVP_PKEY* key) {
  unsigned char* der = nullptr;
  const int length = i2d_PUBKEY(key, &der);
  if (length <= 0) return std::string();
  const OpenSslBytes owned(der);
  const Sha256Digest digest =
      Sha256Of(std::string_view(reinterpret_cast<const char*>(der), static_cast<size_t>(length)));
  return LowercaseHex(digest.data(), digest.size());
}

Sha256Digest Sha256Of(std::string_view data) {
  Sha256Digest digest = {};
  EVP_Digest(data.data(), data.size(), digest.data(), nullptr, EVP_sha256(), nullptr);
  return digest;
}

bool HashFile(const std::string& path, Sha256Digest& digest, uint64_t& size, std::string& error) {
  File file(std::fopen(path.c_str(), "rb"));
  DigestContext context(EVP_MD_CTX_new());
  if (!file || !context || !EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr)) {
    error = std::strerror(errno);
    return false;
  }
  std::vector<unsigned char> chunk(kReadChunk);
  size = 0;
  for (;;) {
    const size_t read = std::fread(chunk.data(), 1, chunk.size(), file.get());
    if (read == 0) break;
    EVP_DigestUpdate(context.get(), chunk.data(), read);
    size += read;
  }
  if (std::ferror(file.get())) {
    error = std::strerror(errno);
    return false;
  }
  return EVP_DigestFinal_ex(context.get(), digest.data(), nullptr) == 1;
}

bool Sign(EVP_PKEY* key, std::string_view data, P256Signature& signature) {
  DigestContext context(EVP_MD_CTX_new());
  size_t length = 0;
  if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key) != 1 ||
      EVP_DigestSign(context.get(), nullptr, &length,
                     reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1) {
    return false;
  }
  std::vector<unsigned char> der(length);
  if (EVP_DigestSign(context.get(), der.data(), &length,
                     reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1) {
    return false;
  }
  const unsigned char* cursor = der.data();
  const EcdsaSignature parsed(d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(length)));
  if (!parsed) return false;
  const BIGNUM* r = ECDSA_SIG_get0_r(parsed.get());
  const BIGNUM* s = ECDSA_SIG_get0_s(parsed.get());
  // Each padded to its full 32 bytes: a short r or s keeps its leading zero bytes.
  constexpr int kPadded = static_cast<int>(kCoordinateSize);
  return BN_bn2binpad(r, signature.data(), kPadded) == kPadded &&
         BN_bn2binpad(s, signature.data() + kCoordinateSize, kPadded) == kPadded;
}

bool Verify(EVP_PKEY* key, std::string_view data, const P256Signature& signature) {
  EcdsaSignature parsed(ECDSA_SIG_new());
  BIGNUM* r = BN_bin2bn(signature.data(), kCoordinateSize, nullptr);
  BIGNUM* s = BN_bin2bn(signature.data() + kCoordinateSize, kCoordinateSize, nullptr);
  if (!parsed || !r || !s || ECDSA_SIG_set0(parsed.get(), r, s) != 1) {
    BN_free(r);
    BN_free(s);
    return false;
  }
  unsigned char* der = nullptr;
  const int length = i2d_ECDSA_SIG(parsed.get(), &der);
  if (length <= 0) return false;
  const OpenSslBytes owned(der);
  DigestContext context(EVP_MD_CTX_new());
  const bool valid =
      context && EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key) == 1 &&
      EVP_DigestVerify(context.get(), der, static_cast<size_t>(length),
                       reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1;
  ERR_clear_error();
  return valid;
}
