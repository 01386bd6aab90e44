#include "download/utf8_unit.h"

#include <windows.h>

std::string Utf8OfCodeUnit(char16_t unit) {
  const wchar_t wide = static_cast<wchar_t>(unit);
  char bytes[4] = {};
  const int written = WideCharToMultiByte(CP_UTF8, 0, &wide, 1, bytes, sizeof(bytes), nullptr, nullptr);
  return written > 0 ? std::string(bytes, written) : std::string();
}
