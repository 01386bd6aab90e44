// The optional third field of a version-list line: the SHA-256 of the file
// the server serves under the line's name, as 64 hex digits of either case:
//
//   data/a.dat|7|9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08
//
// Readers of the version (which stops at the first non-digit) and of the
// name (the text before the first "|") see such a line as before. A third
// field that is not exactly 64 hex digits (up to a further "|" or the line's
// end) is no digest: the line is read as one without.
#ifndef LISTS_LIST_DIGESTS_H_
#define LISTS_LIST_DIGESTS_H_

#include <map>
#include <string>
#include <string_view>

// File name (the bytes before the first "|") to the 32 bytes of its digest.
// As for versions, the last line naming a file decides: when it carries no
// digest, the file has none.
using ListDigests = std::map<std::string, std::string>;

ListDigests ParseListDigests(std::string_view text);

// The digest one line carries, empty when it carries none.
std::string DigestOfLine(std::string_view line);

#endif  // LISTS_LIST_DIGESTS_H_
