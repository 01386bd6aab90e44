// SHA-256 through CNG. BCryptCreateHash without a caller buffer (Windows 7
// and later) lets the provider own the hash object's memory.
#include "base/sha256.h"

#include <windows.h>

#include <bcrypt.h>

#include <limits>

struct Sha256Hasher::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool failed = false;

  ~State() {
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

Sha256Hasher::Sha256Hasher() : state_(std::make_unique<State>()) {
  state_->failed =
      !BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM,
                                                  nullptr, 0)) ||
      !BCRYPT_SUCCESS(BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0));
}

Sha256Hasher::~Sha256Hasher() = default;

bool Sha256Hasher::Add(std::string_view bytes) {
  // BCryptHashData takes a 32-bit length.
  constexpr size_t kMaxPiece = std::numeric_limits<ULONG>::max();
  while (!state_->failed && !bytes.empty()) {
    const std::string_view piece = bytes.substr(0, kMaxPiece);
    auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(piece.data()));
    state_->failed = !BCRYPT_SUCCESS(
        BCryptHashData(state_->hash, data, static_cast<ULONG>(piece.size()), 0));
    bytes.remove_prefix(piece.size());
  }
  return !state_->failed;
}

std::string Sha256Hasher::Finish() {
  std::string digest(kSha256Size, '\0');
  if (state_->failed ||
      !BCRYPT_SUCCESS(BCryptFinishHash(state_->hash, reinterpret_cast<PUCHAR>(digest.data()),
                                       kSha256Size, 0))) {
    state_->failed = true;
    return std::string();
  }
  return digest;
}
