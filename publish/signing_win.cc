// Key generation and signing through CNG. A private key travels as the
// BCRYPT_ECCPRIVATE_BLOB parts X, Y, d; the file form is the PKCS#8 PEM the
// native build writes (publish/private_key_pem.h), so a key works on both hosts.
#include "publish/signing.h"

#include "base/cng_owners_win.h"
#include "publish/private_key_pem.h"
#include "base/sha256.h"
#include "base/signature.h"

namespace {


// X||Y||d of the key; empty when CNG cannot export it.
std::string ExportPrivateParts(BCRYPT_KEY_HANDLE key) {
  std::string blob(sizeof(BCRYPT_ECCKEY_BLOB) + kPublicKeySize + kP256SecretSize, '\0');
  ULONG size = 0;
  if (!BCRYPT_SUCCESS(BCryptExportKey(key, nullptr, BCRYPT_ECCPRIVATE_BLOB,
                                      reinterpret_cast<PUCHAR>(blob.data()),
                                      static_cast<ULONG>(blob.size()), &size, 0)) ||
      size != blob.size()) {
    return std::string();
  }
  return blob.substr(sizeof(BCRYPT_ECCKEY_BLOB));
}

}  // namespace

std::optional<SigningKeyPair> GenerateSigningKeyPair() {
  const OwnedCngAlgorithm algorithm = OpenEcdsaP256();
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (!algorithm || !BCRYPT_SUCCESS(BCryptGenerateKeyPair(algorithm.get(), &handle, 256, 0))) {
    return std::nullopt;
  }
  const OwnedCngKey key(handle);
  if (!BCRYPT_SUCCESS(BCryptFinalizeKeyPair(key.get(), 0))) return std::nullopt;
  const std::string parts = ExportPrivateParts(key.get());
  if (parts.empty()) return std::nullopt;
  const P256PrivateKey pair{parts.substr(kPublicKeySize), parts.substr(0, kPublicKeySize)};
  return SigningKeyPair{FormatPrivateKeyPem(pair), pair.publicKey};
}

std::string PublicKeyOf(std::string_view privateKeyPem) {
  const std::optional<P256PrivateKey> key = ParsePrivateKeyPem(privateKeyPem);
  return key ? key->publicKey : std::string();
}

std::string SignMessage(std::string_view privateKeyPem, std::string_view message) {
  const std::optional<P256PrivateKey> parts = ParsePrivateKeyPem(privateKeyPem);
  std::string digest = Sha256Of(message);
  const OwnedCngAlgorithm algorithm = OpenEcdsaP256();
  if (!parts || digest.empty() || !algorithm) return std::string();
  const OwnedCngKey key =
      ImportEccKey(algorithm.get(), BCRYPT_ECCPRIVATE_BLOB,
                   EccKeyBlob(BCRYPT_ECDSA_PRIVATE_P256_MAGIC, parts->publicKey + parts->secret));
  std::string signature(kSignatureSize, '\0');
  ULONG size = 0;
  if (!key || !BCRYPT_SUCCESS(BCryptSignHash(key.get(), nullptr,
                                             reinterpret_cast<PUCHAR>(digest.data()),
                                             kSha256Size, reinterpret_cast<PUCHAR>(signature.data()),
                                             kSignatureSize, &size, 0)) ||
      size != kSignatureSize) {
    return std::string();
  }
  return signature;
}
