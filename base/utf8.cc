#include "base/utf8.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(char32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void AppendUtf16(char32_t code, std::u16string& out) {
  if (code < 0x10000) {
    out += static_cast<char16_t>(code);
  } else {
    code -= 0x10000;
    out += static_cast<char16_t>(0xD800 | (code >> 10));
    out += static_cast<char16_t>(0xDC00 | (code & 0x3FF));
  }
}

// The sequence length a lead byte announces and the smallest code it may
// carry (shorter forms of a code are not well formed); 0 for a bad lead.
struct Lead {
  int length;
  char32_t minimum;
};

Lead LeadOf(uint8_t byte) {
  if (byte < 0x80) return {1, 0};
  if ((byte & 0xE0) == 0xC0) return {2, 0x80};
  if ((byte & 0xF0) == 0xE0) return {3, 0x800};
  if ((byte & 0xF8) == 0xF0) return {4, 0x10000};
  return {0, 0};
}

}  // namespace

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (IsHighSurrogate(code) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (IsHighSurrogate(code) || IsLowSurrogate(code)) {
      code = kReplacement;
    }
    AppendUtf8(code, out);
  }
  return out;
}

std::optional<std::u16string> FromUtf8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const uint8_t first = static_cast<uint8_t>(bytes[i]);
    const Lead lead = LeadOf(first);
    if (lead.length == 0 || i + lead.length > bytes.size()) return std::nullopt;
    char32_t code = lead.length == 1 ? first : first & (0x7F >> lead.length);
    for (int k = 1; k < lead.length; ++k) {
      const uint8_t next = static_cast<uint8_t>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < lead.minimum || code > 0x10FFFF || IsHighSurrogate(code) || IsLowSurrogate(code)) {
      return std::nullopt;
    }
    AppendUtf16(code, out);
    i += lead.length;
  }
  return out;
}
