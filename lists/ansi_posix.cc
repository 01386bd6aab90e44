// Native stand-in for the ANSI code page conversion: every byte up to the
// first zero byte becomes the UTF-16 unit of the same value (Latin-1).
#include "lists/ansi.h"

std::u16string AnsiToWide(const std::string& text) {
  std::u16string wide;
  for (const char byte : text) {
    if (byte == '\0') break;
    wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(byte)));
  }
  return wide;
}
