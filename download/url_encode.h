#ifndef DOWNLOAD_URL_ENCODE_H_
#define DOWNLOAD_URL_ENCODE_H_

#include <string>
#include <string_view>

// Percent-encodes every UTF-16 unit outside A-Z a-z 0-9 - _ . ~ / : on its
// own; a space becomes %20.
std::u16string UrlEncode(std::u16string_view text);

#endif  // DOWNLOAD_URL_ENCODE_H_
