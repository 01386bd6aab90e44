// The version-list text format shared by the server's filelist.txt and the
// launcher's local_list.txt: "name|version" lines, bytes never re-encoded.
#ifndef LISTS_VERSION_LIST_H_
#define LISTS_VERSION_LIST_H_

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

// File name (bytes, compared as unsigned bytes) to version.
using VersionList = std::map<std::string, int64_t>;

// Calls onLine(std::string_view) for each line of text that is not empty
// once trailing blanks, tabs, CRs and LFs are removed. Lines end at LF.
template <typename OnLine>
void ReadListLines(std::string_view text, OnLine&& onLine) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const size_t last = line.find_last_not_of(" \t\r\n");
    if (last != std::string_view::npos) onLine(line.substr(0, last + 1));
  }
}

// The file a list line names: the text before its first "|", or the whole
// line when it has none. Every reader of a list takes names by this rule.
inline std::string_view ListLineName(std::string_view line) {
  return line.substr(0, line.find('|'));
}

// Base-10, optional sign after leading white space, clamped to int64; never
// fails (no digits give 0).
int64_t ParseVersionNumber(std::string_view text);

// Never fails on content; the last line naming a file sets its version.
VersionList ParseVersionList(std::string_view text);

#endif  // LISTS_VERSION_LIST_H_
