// Names in the list are bytes of code page 949, the ANSI code page of Korean
// Windows, in which the launcher reads them.
#ifndef PUBLISH_CODE_PAGE_H_
#define PUBLISH_CODE_PAGE_H_

#include <optional>
#include <string>
#include <string_view>

// Empty when code page 949 cannot hold every character exactly (no
// replacement and no look-alike is ever accepted).
std::optional<std::string> EncodeCodePage949(std::u16string_view text);

// Empty when the bytes are not valid code page 949.
std::optional<std::u16string> DecodeCodePage949(std::string_view bytes);

#endif  // PUBLISH_CODE_PAGE_H_
