// Owners for the CNG (bcrypt.dll) handles the Windows crypto code holds, and
// the one way it opens the P-256 ECDSA provider.
#ifndef BASE_CNG_OWNERS_WIN_H_
#define BASE_CNG_OWNERS_WIN_H_

#include <windows.h>

#include <bcrypt.h>

#include <memory>
#include <string>

// CNG handles are plain pointers; each kind has its own release call.
struct CngAlgorithmCloser {
  void operator()(BCRYPT_ALG_HANDLE handle) const { BCryptCloseAlgorithmProvider(handle, 0); }
};
struct CngKeyDestroyer {
  void operator()(BCRYPT_KEY_HANDLE handle) const { BCryptDestroyKey(handle); }
};
using OwnedCngAlgorithm = std::unique_ptr<void, CngAlgorithmCloser>;
using OwnedCngKey = std::unique_ptr<void, CngKeyDestroyer>;

// Empty when the provider cannot be opened.
inline OwnedCngAlgorithm OpenEcdsaP256() {
  BCRYPT_ALG_HANDLE handle = nullptr;
  if (!BCRYPT_SUCCESS(
          BCryptOpenAlgorithmProvider(&handle, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
    return nullptr;
  }
  return OwnedCngAlgorithm(handle);
}

// A key blob: the header for this magic, then the parts (each 32 bytes).
inline std::string EccKeyBlob(ULONG magic, const std::string& parts) {
  BCRYPT_ECCKEY_BLOB header;
  header.dwMagic = magic;
  header.cbKey = 32;
  return std::string(reinterpret_cast<const char*>(&header), sizeof(header)) + parts;
}

inline OwnedCngKey ImportEccKey(BCRYPT_ALG_HANDLE algorithm, LPCWSTR type, std::string blob) {
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (!BCRYPT_SUCCESS(BCryptImportKeyPair(algorithm, nullptr, type, &handle,
                                          reinterpret_cast<PUCHAR>(blob.data()),
                                          static_cast<ULONG>(blob.size()), 0))) {
    return nullptr;
  }
  return OwnedCngKey(handle);
}

#endif  // BASE_CNG_OWNERS_WIN_H_
