// Which version each file of a release is listed with, and the history that
// keeps a name's versions growing: a file whose bytes are those its name was
// last given keeps that version, every other file gets the release's new
// version, above every version any name was ever given.
#ifndef PUBLISH_VERSIONS_H_
#define PUBLISH_VERSIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lists/version_list.h"
#include "publish/list_writer.h"

struct VersionRequest {
  std::string listName;  // as listed (code page 949 bytes)
  std::string shownName;
  bool unchanged = false;  // same bytes as under listName in the previous publication
  std::string digest;      // SHA-256 of the file's bytes
};

// Every name ever published, with the highest version it was given and the
// digest of the bytes listed with it. Launchers keep a version they installed
// after its name leaves the list, so a name that comes back must come back
// above it: launchers from before release numbers take a lower one as a
// replay, and an equal one as nothing new.
using VersionHistory = PublishedList;

struct VersionAssignment {
  int64_t newVersion = 0;         // what new or changed files get
  std::vector<int64_t> versions;  // one per request, in order
  std::vector<std::string> errors;
};

// The new version is `requested`, or one more than the highest version in the
// history (1 without one). It must be newer than the highest version of every
// file it is given to. history: at least the previous list's entries.
VersionAssignment AssignVersions(const std::vector<VersionRequest>& requests,
                                 const VersionList& previous, const VersionHistory& history,
                                 std::optional<int64_t> requested);

// The entries of a list or history text, with their digests (empty without).
VersionHistory ReadVersionHistory(std::string_view text);

// For each name the entry with the higher version of the two; more's on a tie.
VersionHistory Highest(VersionHistory history, const VersionHistory& more);

#endif  // PUBLISH_VERSIONS_H_
