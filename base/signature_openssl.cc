// Signature verification through OpenSSL: the point becomes an EC key on
// P-256, and r||s becomes the DER form OpenSSL checks.
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <memory>
#include <string>

#include "base/openssl_owners.h"
#include "base/signature.h"

namespace {

// 0x04 marks an uncompressed point, X||Y follows.
constexpr unsigned char kUncompressedPoint = 0x04;

OwnedKey ImportPublicKey(std::string_view publicKey) {
  std::string point(1, static_cast<char>(kUncompressedPoint));
  point.append(publicKey);
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME,
                                       const_cast<char*>(kCurveName), 0),
      OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size()),
      OSSL_PARAM_construct_end()};
  OwnedKeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  EVP_PKEY* key = nullptr;
  if (!context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
      EVP_PKEY_fromdata(context.get(), &key, EVP_PKEY_PUBLIC_KEY, params) != 1) {
    return nullptr;
  }
  return OwnedKey(key);
}

// r||s as a DER SEQUENCE of two INTEGERs; empty when it cannot be built.
std::string DerSignature(std::string_view signature) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(signature.data());
  const size_t half = kSignatureSize / 2;
  OwnedEcdsaSignature sig(ECDSA_SIG_new());
  BIGNUM* r = BN_bin2bn(bytes, half, nullptr);
  BIGNUM* s = BN_bin2bn(bytes + half, half, nullptr);
  if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
    BN_free(r);
    BN_free(s);
    return std::string();
  }
  unsigned char* der = nullptr;
  const int size = i2d_ECDSA_SIG(sig.get(), &der);
  if (size <= 0) return std::string();
  std::string result(reinterpret_cast<char*>(der), static_cast<size_t>(size));
  OPENSSL_free(der);
  return result;
}

}  // namespace

bool VerifySignature(std::string_view publicKey, std::string_view message,
                     std::string_view signature) {
  if (publicKey.size() != kPublicKeySize || signature.size() != kSignatureSize) return false;
  const OwnedKey key = ImportPublicKey(publicKey);
  const std::string der = DerSignature(signature);
  OwnedDigestContext context(EVP_MD_CTX_new());
  if (!key || der.empty() || !context ||
      EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1) {
    return false;
  }
  return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(der.data()),
                          der.size(), reinterpret_cast<const unsigned char*>(message.data()),
                          message.size()) == 1;
}
