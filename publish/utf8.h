// UTF-8 and UTF-16 for the publisher's own text: messages, and file names on
// hosts whose file system speaks UTF-8.
#ifndef PUBLISH_UTF8_H_
#define PUBLISH_UTF8_H_

#include <optional>
#include <string>
#include <string_view>

// A lone surrogate becomes U+FFFD, so any name can be shown.
std::string ToUtf8(std::u16string_view text);

// Empty when the bytes are not well-formed UTF-8.
std::optional<std::u16string> FromUtf8(std::string_view bytes);

#endif  // PUBLISH_UTF8_H_
