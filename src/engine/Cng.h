#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "manifest/ManifestSignature.h"
#include "framework/Handles.h"

// Windows' own cryptography (CNG). bcrypt.dll is not a KnownDLL, so it is loaded at run time from
// the system folder rather than imported, as WinINet is.
class CngApi {
 public:
  CngApi();

  // Every function was found.
  bool Complete() const;

  decltype(&::BCryptOpenAlgorithmProvider) OpenAlgorithmProvider = nullptr;
  decltype(&::BCryptCloseAlgorithmProvider) CloseAlgorithmProvider = nullptr;
  decltype(&::BCryptGetProperty) GetProperty = nullptr;
  decltype(&::BCryptCreateHash) CreateHash = nullptr;
  decltype(&::BCryptHashData) HashData = nullptr;
  decltype(&::BCryptFinishHash) FinishHash = nullptr;
  decltype(&::BCryptDestroyHash) DestroyHash = nullptr;
  decltype(&::BCryptImportKeyPair) ImportKeyPair = nullptr;
  decltype(&::BCryptDestroyKey) DestroyKey = nullptr;
  decltype(&::BCryptVerifySignature) VerifySignature = nullptr;
};

// Loaded on first use and kept for the life of the process.
const CngApi& Cng();

struct AlgorithmProviderTraits {
  using Handle = BCRYPT_ALG_HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle handle) noexcept { Cng().CloseAlgorithmProvider(handle, 0); }
};
struct HashHandleTraits {
  using Handle = BCRYPT_HASH_HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle handle) noexcept { Cng().DestroyHash(handle); }
};
struct KeyHandleTraits {
  using Handle = BCRYPT_KEY_HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle handle) noexcept { Cng().DestroyKey(handle); }
};
using AlgorithmProvider = UniqueHandle<AlgorithmProviderTraits>;
using HashHandle = UniqueHandle<HashHandleTraits>;
using KeyHandle = UniqueHandle<KeyHandleTraits>;

// A SHA-256 fed piece by piece. Any failure of CNG makes Finish fail, never the caller.
class Sha256Hash {
 public:
  Sha256Hash();

  // Starts again from nothing.
  void Restart();
  void Add(const void* data, size_t size);
  // The hash of everything added since the last Restart; false when CNG failed on the way.
  bool Finish(Sha256Digest& digest);

 private:
  AlgorithmProvider provider_;
  // The hash's state, which Windows 7 wants from the caller.
  std::unique_ptr<UCHAR[]> object_;
  ULONG objectSize_ = 0;
  HashHandle hash_;
  bool failed_ = true;
};

// True when signature (r, then s) is an ECDSA P-256 signature of digest by the public key with
// the point (x, then y, 32 bytes each).
bool VerifyP256Signature(const uint8_t* point, const Sha256Digest& digest,
                         const P256Signature& signature);
