#include "Cng.h"

#include <cstring>

#include "framework/SystemLibrary.h"

namespace {

constexpr ULONG kP256CoordinateSize = 32;

}  // namespace

CngApi::CngApi() {
  const HMODULE module = LoadSystemLibrary("bcrypt.dll");
  OpenAlgorithmProvider =
      GetSystemProc<decltype(OpenAlgorithmProvider)>(module, "BCryptOpenAlgorithmProvider");
  CloseAlgorithmProvider =
      GetSystemProc<decltype(CloseAlgorithmProvider)>(module, "BCryptCloseAlgorithmProvider");
  GetProperty = GetSystemProc<decltype(GetProperty)>(module, "BCryptGetProperty");
  CreateHash = GetSystemProc<decltype(CreateHash)>(module, "BCryptCreateHash");
  HashData = GetSystemProc<decltype(HashData)>(module, "BCryptHashData");
  FinishHash = GetSystemProc<decltype(FinishHash)>(module, "BCryptFinishHash");
  DestroyHash = GetSystemProc<decltype(DestroyHash)>(module, "BCryptDestroyHash");
  ImportKeyPair = GetSystemProc<decltype(ImportKeyPair)>(module, "BCryptImportKeyPair");
  DestroyKey = GetSystemProc<decltype(DestroyKey)>(module, "BCryptDestroyKey");
  VerifySignature = GetSystemProc<decltype(VerifySignature)>(module, "BCryptVerifySignature");
}

bool CngApi::Complete() const {
  return OpenAlgorithmProvider && CloseAlgorithmProvider && GetProperty && CreateHash &&
         HashData && FinishHash && DestroyHash && ImportKeyPair && DestroyKey && VerifySignature;
}

const CngApi& Cng() {
  static const CngApi api;
  return api;
}

Sha256Hash::Sha256Hash() {
  const CngApi& api = Cng();
  if (!api.Complete() ||
      !BCRYPT_SUCCESS(api.OpenAlgorithmProvider(provider_.put(), BCRYPT_SHA256_ALGORITHM,
                                                nullptr, 0))) {
    provider_.release();  // a failed open leaves no handle to close
    return;
  }
  ULONG written = 0;
  if (BCRYPT_SUCCESS(api.GetProperty(provider_.get(), BCRYPT_OBJECT_LENGTH,
                                     reinterpret_cast<PUCHAR>(&objectSize_), sizeof(objectSize_),
                                     &written, 0))) {
    object_.reset(new UCHAR[objectSize_]);
  }
}

void Sha256Hash::Restart() {
  hash_.reset();
  failed_ = !object_ ||
            !BCRYPT_SUCCESS(Cng().CreateHash(provider_.get(), hash_.put(), object_.get(),
                                             objectSize_, nullptr, 0, 0));
  if (failed_) hash_.release();
}

void Sha256Hash::Add(const void* data, size_t size) {
  if (failed_ || size == 0) return;
  // CNG takes a non-constant pointer but only reads the data.
  failed_ = !BCRYPT_SUCCESS(Cng().HashData(hash_.get(),
                                           static_cast<PUCHAR>(const_cast<void*>(data)),
                                           static_cast<ULONG>(size), 0));
}

bool Sha256Hash::Finish(Sha256Digest& digest) {
  if (failed_) return false;
  failed_ = true;  // a finished hash takes no more data
  return BCRYPT_SUCCESS(Cng().FinishHash(hash_.get(), digest.data(),
                                         static_cast<ULONG>(digest.size()), 0));
}

bool VerifyP256Signature(const uint8_t* point, const Sha256Digest& digest,
                         const P256Signature& signature) {
  const CngApi& api = Cng();
  if (!api.Complete()) return false;
  AlgorithmProvider provider;
  if (!BCRYPT_SUCCESS(api.OpenAlgorithmProvider(provider.put(), BCRYPT_ECDSA_P256_ALGORITHM,
                                                nullptr, 0))) {
    provider.release();
    return false;
  }
  UCHAR blob[sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kP256CoordinateSize];
  const BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kP256CoordinateSize};
  std::memcpy(blob, &header, sizeof(header));
  std::memcpy(blob + sizeof(header), point, 2 * kP256CoordinateSize);
  KeyHandle key;
  if (!BCRYPT_SUCCESS(api.ImportKeyPair(provider.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.put(),
                                        blob, sizeof(blob), 0))) {
    key.release();
    return false;
  }
  // Both constant in truth; CNG's prototype asks for writable pointers.
  return BCRYPT_SUCCESS(api.VerifySignature(
      key.get(), nullptr, const_cast<PUCHAR>(digest.data()), static_cast<ULONG>(digest.size()),
      const_cast<PUCHAR>(signature.data()), static_cast<ULONG>(signature.size()), 0));
}
