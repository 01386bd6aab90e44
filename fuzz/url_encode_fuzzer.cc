// UrlEncode on any UTF-16 units: the output holds only the passed-through set
// (A-Z a-z 0-9 - _ . ~ / :) and "%XX" escapes with upper-case hex digits, an
// escape never stands for a byte of that set, and decoding the output gives,
// unit by unit, the UTF-8 of each unit on its own. Every surrogate unit, lone
// or one half of a valid pair, stands as U+FFFD (EF BF BD), so a character
// beyond the BMP gives EF BF BD EF BF BD; a space gives 20.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "download/url_encode.h"
#include "fuzz/fuzz_text.h"

namespace {

// A-Z a-z 0-9 - _ . ~ / : (isalnum in the "C" locale).
bool IsPassedThrough(unsigned value) {
  return value < 0x80 && (std::isalnum(static_cast<int>(value)) ||
                          std::string_view("-_.~/:").find(static_cast<char>(value)) !=
                              std::string_view::npos);
}

std::optional<unsigned> UpperHexValue(char16_t unit) {
  if (unit >= u'0' && unit <= u'9') return unit - u'0';
  if (unit >= u'A' && unit <= u'F') return unit - u'A' + 10;
  return std::nullopt;
}

// The bytes the output stands for; nothing when it is not well formed.
std::optional<std::string> PercentDecode(std::u16string_view encoded) {
  std::string bytes;
  for (size_t i = 0; i < encoded.size(); ++i) {
    const char16_t unit = encoded[i];
    if (IsPassedThrough(unit)) {
      bytes += static_cast<char>(unit);
      continue;
    }
    if (unit != u'%' || i + 2 >= encoded.size()) return std::nullopt;
    const auto high = UpperHexValue(encoded[i + 1]);
    const auto low = UpperHexValue(encoded[i + 2]);
    if (!high || !low) return std::nullopt;
    const unsigned byte = *high * 16 + *low;
    // An escape of a passed-through byte would be a second spelling.
    if (IsPassedThrough(byte)) return std::nullopt;
    bytes += static_cast<char>(byte);
    i += 2;
  }
  return bytes;
}

// UTF-8 of one code point of the BMP, surrogates replaced by U+FFFD.
std::string ExpectedUtf8(char16_t unit) {
  const unsigned code = (unit >= 0xD800 && unit <= 0xDFFF) ? 0xFFFD : unit;
  if (code <= 0x7F) return std::string(1, static_cast<char>(code));
  std::string bytes;
  const int continuationBytes = code <= 0x7FF ? 1 : 2;
  const unsigned leadMark = continuationBytes == 1 ? 0xC0 : 0xE0;
  bytes += static_cast<char>(leadMark | (code >> (6 * continuationBytes)));
  for (int shift = 6 * (continuationBytes - 1); shift >= 0; shift -= 6) {
    bytes += static_cast<char>(0x80 | ((code >> shift) & 0x3F));
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text = AsUtf16(data, size);
  const std::optional<std::string> decoded = PercentDecode(UrlEncode(text));
  Require(decoded.has_value(), "output is passed-through units and canonical upper-case %XX only");

  std::string expected;
  for (const char16_t unit : text) expected += ExpectedUtf8(unit);
  Require(*decoded == expected, "decoded output is the per-unit UTF-8 of the input");
  return 0;
}
