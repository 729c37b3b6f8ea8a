#pragma once

#include <openssl/evp.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "manifest/ManifestSignature.h"

// The publisher's ECDSA P-256 keys and what maptool does with them, through OpenSSL's libcrypto.

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;

// A private key in PEM, SEC1 ("EC PRIVATE KEY") or PKCS#8, encrypted or not. Null when the file
// holds no P-256 private key that the password opens; error then says why.
Key ReadPrivateKey(const std::string& path, const std::string* password, std::string& error);

// Every "PUBLIC KEY" block of a PEM file, in order. Empty when there is none or one is not a
// P-256 key; error then says why.
std::vector<Key> ReadPublicKeys(const std::string& path, std::string& error);

// The hex SHA-256 of the key's DER SubjectPublicKeyInfo, as make release-check shows it.
std::string Fingerprint(EVP_PKEY* key);

Sha256Digest Sha256Of(std::string_view data);

// The SHA-256 and size of a file, read in pieces. False when it cannot be read; error says why.
bool HashFile(const std::string& path, Sha256Digest& digest, uint64_t& size, std::string& error);

// ECDSA P-256 over the SHA-256 of data, as r and s of 32 bytes each.
bool Sign(EVP_PKEY* key, std::string_view data, P256Signature& signature);
bool Verify(EVP_PKEY* key, std::string_view data, const P256Signature& signature);
