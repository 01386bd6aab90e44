#include "base/sha256.h"

std::string Sha256Of(std::string_view bytes) {
  Sha256Hasher hasher;
  hasher.Add(bytes);
  return hasher.Finish();
}
