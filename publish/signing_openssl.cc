#include "publish/signing.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/pem.h>

#include <cstring>

#include "base/openssl_owners.h"
#include "publish/private_key_pem.h"
#include "base/signature.h"

namespace {

// Only the one key file form both builds share is read; an encrypted key
// never reaches OpenSSL's password prompt.
OwnedKey ReadPrivateKey(std::string_view pem) {
  if (!ParsePrivateKeyPem(pem)) return nullptr;
  OwnedBio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) return nullptr;
  const auto noPassword = [](char*, int, int, void*) { return -1; };
  OwnedKey key(PEM_read_bio_PrivateKey(bio.get(), nullptr, noPassword, nullptr));
  char group[32] = {};
  if (!key || EVP_PKEY_get_utf8_string_param(key.get(), OSSL_PKEY_PARAM_GROUP_NAME, group,
                                             sizeof(group), nullptr) != 1 ||
      std::strcmp(group, kCurveName) != 0) {
    return nullptr;
  }
  return key;
}

// X||Y of an EC key, from its uncompressed point 0x04||X||Y.
std::string PointOf(const EVP_PKEY& key) {
  unsigned char point[1 + kPublicKeySize];
  size_t size = 0;
  if (EVP_PKEY_get_octet_string_param(&key, OSSL_PKEY_PARAM_PUB_KEY, point, sizeof(point),
                                      &size) != 1 ||
      size != sizeof(point) || point[0] != 0x04) {
    return std::string();
  }
  return std::string(reinterpret_cast<char*>(point + 1), kPublicKeySize);
}

std::string PrivateKeyPem(EVP_PKEY& key) {
  OwnedBio bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_PrivateKey(bio.get(), &key, nullptr, nullptr, 0, nullptr,
                                       nullptr) != 1) {
    return std::string();
  }
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return size > 0 ? std::string(data, static_cast<size_t>(size)) : std::string();
}

// r||s from OpenSSL's DER form, each half padded to 32 bytes.
std::string RawSignature(const std::string& der) {
  const auto* cursor = reinterpret_cast<const unsigned char*>(der.data());
  OwnedEcdsaSignature sig(d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(der.size())));
  if (!sig) return std::string();
  std::string raw(kSignatureSize, '\0');
  auto* out = reinterpret_cast<unsigned char*>(raw.data());
  const int half = kSignatureSize / 2;
  if (BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), out, half) != half ||
      BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), out + half, half) != half) {
    return std::string();
  }
  return raw;
}

}  // namespace

std::optional<SigningKeyPair> GenerateSigningKeyPair() {
  OwnedKey key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", kCurveName));
  if (!key) return std::nullopt;
  SigningKeyPair pair{PrivateKeyPem(*key), PointOf(*key)};
  if (pair.privateKeyPem.empty() || pair.publicKey.empty()) return std::nullopt;
  return pair;
}

std::string PublicKeyOf(std::string_view privateKeyPem) {
  const OwnedKey key = ReadPrivateKey(privateKeyPem);
  return key ? PointOf(*key) : std::string();
}

std::string SignMessage(std::string_view privateKeyPem, std::string_view message) {
  const OwnedKey key = ReadPrivateKey(privateKeyPem);
  OwnedDigestContext context(EVP_MD_CTX_new());
  size_t size = 0;
  if (!key || !context ||
      EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1 ||
      EVP_DigestSign(context.get(), nullptr, &size,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1) {
    return std::string();
  }
  std::string der(size, '\0');
  if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(der.data()), &size,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1) {
    return std::string();
  }
  der.resize(size);
  return RawSignature(der);
}
