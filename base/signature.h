// ECDSA on the curve P-256 with SHA-256, in the raw forms CNG uses: a public
// key is its point X||Y (64 bytes, each coordinate big-endian), a signature
// is r||s (64 bytes, each big-endian). Verified through CNG (bcrypt.dll) on
// Windows and OpenSSL's libcrypto elsewhere.
#ifndef BASE_SIGNATURE_H_
#define BASE_SIGNATURE_H_

#include <cstddef>
#include <string_view>

inline constexpr size_t kPublicKeySize = 64;
inline constexpr size_t kSignatureSize = 64;

// True only when signature is a valid signature by publicKey over exactly the
// bytes of message. A key or signature of the wrong size, a point off the
// curve or a failing provider all give false.
bool VerifySignature(std::string_view publicKey, std::string_view message,
                     std::string_view signature);

#endif  // BASE_SIGNATURE_H_
