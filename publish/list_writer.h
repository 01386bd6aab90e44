// Writes the version list the launcher reads: one "name|version|sha256" line
// per file (the digest as 64 lower-case hex digits, lists/list_digests.h),
// CR LF line ends, in the byte order of the launcher's VersionList.
#ifndef PUBLISH_LIST_WRITER_H_
#define PUBLISH_LIST_WRITER_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "lists/version_list.h"

// What one line says about a file besides its name; further fields are
// appended after the version, where the launcher's number reading stops.
struct ListEntry {
  int64_t version = 0;
  std::string digest;  // SHA-256 of the served body, 32 bytes
};

// Keyed by the name's code page 949 bytes, ordered as the launcher orders them.
using PublishedList = std::map<std::string, ListEntry, VersionList::key_compare>;

std::string FormatListLine(const std::string& name, const ListEntry& entry);
// With releaseNumber, the first line carries it (lists/release_number.h).
std::string WriteListText(const PublishedList& list,
                          std::optional<int64_t> releaseNumber = std::nullopt);

// The served list's file name.
inline constexpr std::u16string_view kListFileName = u"filelist.txt";

// Beside the served files, in the list's format: every name ever published
// with the highest version it was given (publish/versions.h), and on its
// first line the highest release number signed.
inline constexpr std::u16string_view kVersionHistoryFileName = u"version_history.txt";

// True when the launcher reads the line for this name back as exactly this
// name (no bar, line end or trailing blank in it).
bool ReadsBackAsListName(const std::string& name);

#endif  // PUBLISH_LIST_WRITER_H_
