#ifndef LISTS_SERVER_LIST_H_
#define LISTS_SERVER_LIST_H_

#include <cstdint>
#include <string>

// The most a version list may hold. A release of 100,000 files needs about
// 30 MB (a line with a long name, its version and a 64-hex digest is some
// 300 bytes); a body that passes this is no list, so an endless one cannot
// exhaust the 32-bit launcher's memory before anything is verified.
inline constexpr uint64_t kServerListSizeLimit = uint64_t{32} << 20;

// A signature file is 128 hex digits and a line end; the rest is spare.
inline constexpr uint64_t kListSignatureSizeLimit = 4096;

// The text at url (the version list, or its signature) exactly as received;
// empty when none was obtained or when the body passes sizeLimit bytes.
[[nodiscard]] std::string FetchServerList(const std::u16string& url, uint64_t sizeLimit);

#endif  // LISTS_SERVER_LIST_H_
