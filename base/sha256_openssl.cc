// SHA-256 through OpenSSL's libcrypto, for native builds.
#include <openssl/evp.h>

#include "base/sha256.h"

struct Sha256Hasher::State {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  bool failed = false;

  ~State() { EVP_MD_CTX_free(context); }
};

Sha256Hasher::Sha256Hasher() : state_(std::make_unique<State>()) {
  state_->failed = state_->context == nullptr ||
                   EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr) != 1;
}

Sha256Hasher::~Sha256Hasher() = default;

bool Sha256Hasher::Add(std::string_view bytes) {
  if (!state_->failed && !bytes.empty()) {
    state_->failed = EVP_DigestUpdate(state_->context, bytes.data(), bytes.size()) != 1;
  }
  return !state_->failed;
}

std::string Sha256Hasher::Finish() {
  std::string digest(kSha256Size, '\0');
  unsigned int size = 0;
  if (state_->failed ||
      EVP_DigestFinal_ex(state_->context, reinterpret_cast<unsigned char*>(digest.data()),
                         &size) != 1 ||
      size != kSha256Size) {
    state_->failed = true;
    return std::string();
  }
  return digest;
}
