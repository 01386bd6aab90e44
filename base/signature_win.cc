// Signature verification through CNG: the public key is imported as a
// BCRYPT_ECCPUBLIC_BLOB (header, X, Y) and the SHA-256 digest of the message
// is checked against r||s, the form CNG takes as it is.
#include "base/signature.h"

#include <windows.h>

#include <bcrypt.h>

#include <string>

#include "base/sha256.h"

namespace {

class ScopedAlgorithm {
 public:
  ScopedAlgorithm() = default;
  ScopedAlgorithm(const ScopedAlgorithm&) = delete;
  ScopedAlgorithm& operator=(const ScopedAlgorithm&) = delete;
  ~ScopedAlgorithm() {
    if (handle_) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  BCRYPT_ALG_HANDLE* Receive() { return &handle_; }
  BCRYPT_ALG_HANDLE Get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class ScopedKey {
 public:
  ScopedKey() = default;
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  ~ScopedKey() {
    if (handle_) BCryptDestroyKey(handle_);
  }
  BCRYPT_KEY_HANDLE* Receive() { return &handle_; }
  BCRYPT_KEY_HANDLE Get() const { return handle_; }

 private:
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

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

  ScopedAlgorithm algorithm;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(algorithm.Receive(),
                                                  BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
    return false;
  }
  std::string blob = PublicKeyBlob(publicKey);
  ScopedKey key;
  if (!BCRYPT_SUCCESS(BCryptImportKeyPair(algorithm.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB,
                                          key.Receive(), Bytes(blob),
                                          static_cast<ULONG>(blob.size()), 0))) {
    return false;
  }
  std::string rs(signature);
  return BCryptVerifySignature(key.Get(), nullptr, Bytes(digest), kSha256Size, Bytes(rs),
                               kSignatureSize, 0) == 0;
}
