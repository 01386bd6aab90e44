// The one private-key file form both publisher builds read and write: an
// unencrypted PKCS#8 PEM of a P-256 key, exactly as OpenSSL 3 writes it (the
// curve named in the algorithm, the public point included). The Windows
// build handles keys as raw numbers through CNG, so it parses and emits this
// fixed layout itself; anything else is refused rather than half-read.
#ifndef PUBLISH_PRIVATE_KEY_PEM_H_
#define PUBLISH_PRIVATE_KEY_PEM_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

inline constexpr size_t kP256SecretSize = 32;

struct P256PrivateKey {
  std::string secret;     // d, 32 bytes big-endian
  std::string publicKey;  // X||Y, 64 bytes
};

// nullopt unless the text is one such PEM block (line ends LF or CR LF,
// nothing but blank space around it).
std::optional<P256PrivateKey> ParsePrivateKeyPem(std::string_view pem);

// Empty when a part has the wrong size.
std::string FormatPrivateKeyPem(const P256PrivateKey& key);

#endif  // PUBLISH_PRIVATE_KEY_PEM_H_
