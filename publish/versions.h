// Which version each file of a release is listed with: a file whose bytes
// did not change keeps its version, every other file gets the release number.
#ifndef PUBLISH_VERSIONS_H_
#define PUBLISH_VERSIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lists/version_list.h"

struct VersionRequest {
  std::string listName;  // as listed (code page 949 bytes)
  std::string shownName;
  bool unchanged = false;  // same bytes as under listName in the previous publication
};

struct VersionAssignment {
  int64_t releaseNumber = 0;
  std::vector<int64_t> versions;  // one per request, in order
  std::vector<std::string> errors;
};

// The release number is `requested`, or one more than the previous list's
// highest version (1 without one). It must be newer than the previous
// version of every file it is given to, since the launcher only fetches a
// newer version.
VersionAssignment AssignVersions(const std::vector<VersionRequest>& requests,
                                 const VersionList& previous, std::optional<int64_t> requested);

#endif  // PUBLISH_VERSIONS_H_
