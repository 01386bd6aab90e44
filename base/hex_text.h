// Bytes as hexadecimal text and back: how digests, keys and signatures are
// written in lists, signature files and build settings.
#ifndef BASE_HEX_TEXT_H_
#define BASE_HEX_TEXT_H_

#include <optional>
#include <string>
#include <string_view>

// Two lower-case digits per byte.
std::string EncodeHex(std::string_view bytes);

// The bytes of text, which must be an even number of digits of either case
// and nothing else; nullopt otherwise.
std::optional<std::string> DecodeHex(std::string_view text);

#endif  // BASE_HEX_TEXT_H_
