#include "lists/ansi.h"

#include <windows.h>

#include <vector>

#include "base/wide_string_win.h"

// The input is passed zero-terminated (length -1), so the conversion stops at
// the first zero byte; with flags 0, invalid bytes are replaced rather than
// failing the call.
std::u16string AnsiToWide(const std::string& text) {
  if (text.empty()) return std::u16string();
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 0) return std::u16string();
  std::vector<wchar_t> buffer(length, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, buffer.data(), length);
  return FromWide(buffer.data(), length - 1);
}
