#include "download/utf8_unit.h"

namespace {

// What WideCharToMultiByte(CP_UTF8, 0, ...) writes for a lone surrogate: the
// replacement character U+FFFD.
constexpr char16_t kReplacementCharacter = 0xFFFD;

bool IsSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

}  // namespace

std::string Utf8OfCodeUnit(char16_t unit) {
  const char16_t code = IsSurrogate(unit) ? kReplacementCharacter : unit;
  std::string bytes;
  if (code < 0x80) {
    bytes += static_cast<char>(code);
  } else if (code < 0x800) {
    bytes += static_cast<char>(0xC0 | (code >> 6));
    bytes += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    bytes += static_cast<char>(0xE0 | (code >> 12));
    bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (code & 0x3F));
  }
  return bytes;
}
