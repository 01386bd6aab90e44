// Signature verification through CNG: the public key is imported as a
// BCRYPT_ECCPUBLIC_BLOB (header, X, Y) and the SHA-256 digest of the message
// is checked against r||s, the form CNG takes as it is.
#include "base/signature.h"

#include <windows.h>

#include <bcrypt.h>

#include <memory>
#include <string>

#include "base/sha256.h"

namespace {

// CNG handles are plain pointers; each kind has its own release call.
struct AlgorithmCloser {
  void operator()(BCRYPT_ALG_HANDLE handle) const { BCryptCloseAlgorithmProvider(handle, 0); }
};
struct KeyDestroyer {
  void operator()(BCRYPT_KEY_HANDLE handle) const { BCryptDestroyKey(handle); }
};
using OwnedAlgorithm = std::unique_ptr<void, AlgorithmCloser>;
using OwnedKey = std::unique_ptr<void, KeyDestroyer>;

std::string PublicKeyBlob(std::string_view publicKey) {
  BCRYPT_ECCKEY_BLOB header;
  header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
  header.cbKey = kPublicKeySize / 2;
  std::string blob(reinterpret_cast<const char*>(&header), sizeof(header));
  blob.append(publicKey);
  return blob;
}

PUCHAR Bytes(std::string& bytes) { return reinterpret_cast<PUCHAR>(bytes.data()); }

}  // namespace

bool VerifySignature(std::string_view publicKey, std::string_view message,
                     std::string_view signature) {
  if (publicKey.size() != kPublicKeySize || signature.size() != kSignatureSize) return false;
  std::string digest = Sha256Of(message);
  if (digest.empty()) return false;

  BCRYPT_ALG_HANDLE algorithmHandle = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithmHandle, BCRYPT_ECDSA_P256_ALGORITHM,
                                                  nullptr, 0))) {
    return false;
  }
  const OwnedAlgorithm algorithm(algorithmHandle);
  std::string blob = PublicKeyBlob(publicKey);
  BCRYPT_KEY_HANDLE keyHandle = nullptr;
  if (!BCRYPT_SUCCESS(BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB,
                                          &keyHandle, Bytes(blob),
                                          static_cast<ULONG>(blob.size()), 0))) {
    return false;
  }
  const OwnedKey key(keyHandle);
  std::string rs(signature);
  return BCryptVerifySignature(key.get(), nullptr, Bytes(digest), kSha256Size, Bytes(rs),
                               kSignatureSize, 0) == 0;
}
