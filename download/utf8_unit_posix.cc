#include "download/utf8_unit.h"

#include "base/utf8.h"

// WideCharToMultiByte(CP_UTF8, 0, ...) writes the replacement character
// U+FFFD for a lone surrogate, as ToUtf8 does.
std::string Utf8OfCodeUnit(char16_t unit) { return ToUtf8(std::u16string_view(&unit, 1)); }
