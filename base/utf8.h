// UTF-8 and UTF-16 for text that leaves the program as UTF-8: the
// publisher's messages and file names on hosts whose file system speaks
// UTF-8, and the native stand-in of the URL encoder's converter.
#ifndef BASE_UTF8_H_
#define BASE_UTF8_H_

#include <optional>
#include <string>
#include <string_view>

// A lone surrogate becomes U+FFFD, so any name can be shown.
std::string ToUtf8(std::u16string_view text);

// Empty when the bytes are not well-formed UTF-8.
std::optional<std::u16string> FromUtf8(std::string_view bytes);

#endif  // BASE_UTF8_H_
