// The one place where neutral UTF-16 text (std::u16string) meets the Windows
// API's wchar_t, which MinGW makes a 16-bit unit as well.
#ifndef BASE_WIDE_STRING_WIN_H_
#define BASE_WIDE_STRING_WIN_H_

#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

inline const wchar_t* AsWide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline const wchar_t* AsWide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}

inline std::u16string FromWide(const wchar_t* text) {
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

inline std::u16string FromWide(const wchar_t* text, size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

#endif  // BASE_WIDE_STRING_WIN_H_
