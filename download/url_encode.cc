#include "download/url_encode.h"

#include "download/utf8_unit.h"

namespace {

bool IsPassedUnchanged(char16_t unit) {
  if ((unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z') ||
      (unit >= u'0' && unit <= u'9')) {
    return true;
  }
  return std::u16string_view(u"-_.~/:").find(unit) != std::u16string_view::npos;
}

void AppendPercentEscape(unsigned char byte, std::u16string& out) {
  static constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";
  out += u'%';
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0x0F];
}

}  // namespace

std::u16string UrlEncode(std::u16string_view text) {
  std::u16string encoded;
  encoded.reserve(text.size());
  for (const char16_t unit : text) {
    if (IsPassedUnchanged(unit)) {
      encoded += unit;
    } else if (unit == u' ') {
      encoded += u"%20";
    } else {
      // Each unit on its own, so the halves of a surrogate pair are converted
      // separately, as the launcher always has.
      for (const char byte : Utf8OfCodeUnit(unit)) {
        AppendPercentEscape(static_cast<unsigned char>(byte), encoded);
      }
    }
  }
  return encoded;
}
