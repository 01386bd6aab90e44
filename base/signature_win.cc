// Signature verification through CNG: the public key is imported as a
// BCRYPT_ECCPUBLIC_BLOB (header, X, Y) and the SHA-256 digest of the message
// is checked against r||s, the form CNG takes as it is.
#include "base/signature.h"

#include <string>

#include "base/cng_owners_win.h"
#include "base/sha256.h"

namespace {

PUCHAR Bytes(std::string& bytes) { return reinterpret_cast<PUCHAR>(bytes.data()); }

}  // namespace

bool VerifySignature(std::string_view publicKey, std::string_view message,
                     std::string_view signature) {
  if (publicKey.size() != kPublicKeySize || signature.size() != kSignatureSize) return false;
  std::string digest = Sha256Of(message);
  if (digest.empty()) return false;
  const OwnedCngAlgorithm algorithm = OpenEcdsaP256();
  if (!algorithm) return false;
  const OwnedCngKey key =
      ImportEccKey(algorithm.get(), BCRYPT_ECCPUBLIC_BLOB,
                   EccKeyBlob(BCRYPT_ECDSA_PUBLIC_P256_MAGIC, std::string(publicKey)));
  if (!key) return false;
  std::string rs(signature);
  return BCryptVerifySignature(key.get(), nullptr, Bytes(digest), kSha256Size, Bytes(rs),
                               kSignatureSize, 0) == 0;
}
