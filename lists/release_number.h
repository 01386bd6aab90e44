// The release number of a numbered list: the fourth field of its first entry
// line, "r" followed by a decimal from 1 to 2^63-1, without sign or leading
// zero:
//
//   crv3v2.exe|7|9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08|r42
//
// Launchers from before numbers read every line as an entry, the version up
// to the second "|" and the digest up to the third, so they read this line as
// before; the list's signature covers the number with every other byte. Any
// other fourth field, or none, leaves the list without a number.
#ifndef LISTS_RELEASE_NUMBER_H_
#define LISTS_RELEASE_NUMBER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The number a field such as "r42" holds; nothing for any other text.
std::optional<int64_t> ParseReleaseNumberField(std::string_view field);

// "r42" for 42.
std::string FormatReleaseNumberField(int64_t number);

// The number the list's first entry line carries, or nothing.
std::optional<int64_t> ReleaseNumberOfList(std::string_view listText);

// A decimal from 1 to 2^63-1 without sign or leading zero; nothing otherwise.
std::optional<int64_t> ParsePositiveDecimal(std::string_view text);

#endif  // LISTS_RELEASE_NUMBER_H_
