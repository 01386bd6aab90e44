// Owners for the OpenSSL objects the native crypto code holds, and the curve
// it uses.
#ifndef BASE_OPENSSL_OWNERS_H_
#define BASE_OPENSSL_OWNERS_H_

#include <openssl/bio.h>
#include <openssl/ec.h>
#include <openssl/evp.h>

#include <memory>

inline constexpr char kCurveName[] = "prime256v1";  // P-256

struct OpenSslFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
  void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
  void operator()(BIO* bio) const { BIO_free(bio); }
  void operator()(ECDSA_SIG* signature) const { ECDSA_SIG_free(signature); }
};

using OwnedKey = std::unique_ptr<EVP_PKEY, OpenSslFree>;
using OwnedKeyContext = std::unique_ptr<EVP_PKEY_CTX, OpenSslFree>;
using OwnedDigestContext = std::unique_ptr<EVP_MD_CTX, OpenSslFree>;
using OwnedBio = std::unique_ptr<BIO, OpenSslFree>;
using OwnedEcdsaSignature = std::unique_ptr<ECDSA_SIG, OpenSslFree>;

#endif  // BASE_OPENSSL_OWNERS_H_
