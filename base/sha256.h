// SHA-256 through the platform's own provider: CNG (bcrypt.dll) on Windows,
// OpenSSL's libcrypto elsewhere. A digest is its 32 raw bytes; an empty
// string stands for "no digest" (the provider failed or the file could not
// be read), which never equals a real one.
#ifndef BASE_SHA256_H_
#define BASE_SHA256_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

inline constexpr size_t kSha256Size = 32;

class Sha256Hasher {
 public:
  Sha256Hasher();
  Sha256Hasher(const Sha256Hasher&) = delete;
  Sha256Hasher& operator=(const Sha256Hasher&) = delete;
  ~Sha256Hasher();

  // False once the provider has failed; later calls do nothing.
  bool Add(std::string_view bytes);
  // The digest of everything added; empty when anything failed. Call once.
  std::string Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

std::string Sha256Of(std::string_view bytes);

// A path as the platform's file functions take it: UTF-16 on Windows, bytes
// elsewhere.
#ifdef _WIN32
using FilePathText = std::u16string;
#else
using FilePathText = std::string;
#endif

// The digest of the file's bytes, read in pieces of fixed size (memory does
// not grow with the file); empty when the file cannot be read to its end.
// betweenPieces, when given, runs after each piece: a window's thread uses it
// to answer its messages while a large file is hashed.
std::string Sha256OfFile(const FilePathText& path,
                         const std::function<void()>& betweenPieces = nullptr);

#endif  // BASE_SHA256_H_
