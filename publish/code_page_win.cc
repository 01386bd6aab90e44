#include <windows.h>

#include <vector>

#include "base/wide_string_win.h"
#include "publish/code_page.h"

namespace {

constexpr UINT kKoreanCodePage = 949;

}  // namespace

// WC_NO_BEST_FIT_CHARS keeps Windows from writing a look-alike; usedDefault
// tells when a character had no form at all.
std::optional<std::string> EncodeCodePage949(std::u16string_view text) {
  if (text.empty()) return std::string();
  const std::u16string input(text);
  const int units = static_cast<int>(input.size());
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(kKoreanCodePage, WC_NO_BEST_FIT_CHARS, AsWide(input),
                                         units, nullptr, 0, nullptr, &usedDefault);
  if (length <= 0 || usedDefault) return std::nullopt;
  std::string bytes(length, '\0');
  if (WideCharToMultiByte(kKoreanCodePage, WC_NO_BEST_FIT_CHARS, AsWide(input), units,
                          bytes.data(), length, nullptr, &usedDefault) != length ||
      usedDefault) {
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::u16string> DecodeCodePage949(std::string_view bytes) {
  if (bytes.empty()) return std::u16string();
  const int size = static_cast<int>(bytes.size());
  const int length =
      MultiByteToWideChar(kKoreanCodePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::vector<wchar_t> buffer(length);
  if (MultiByteToWideChar(kKoreanCodePage, MB_ERR_INVALID_CHARS, bytes.data(), size,
                          buffer.data(), length) != length) {
    return std::nullopt;
  }
  return FromWide(buffer.data(), length);
}
