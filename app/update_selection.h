// Which listed files an update run downloads.
#ifndef APP_UPDATE_SELECTION_H_
#define APP_UPDATE_SELECTION_H_

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "lists/list_digests.h"
#include "lists/version_list.h"

// True when a file or directory exists at path.
using PathExistsTest = std::function<bool(const std::u16string& path)>;

// The server list's names, in its order, converted to UTF-16, that are newer
// on the server than recorded (the info list decides alone for the names it
// holds, else the local list), not recorded at all, or recorded as current
// but missing from applicationDirectory. Recorded names are looked up by
// StoredNameKey: a name recorded in another spelling of the same file is
// that file's record. Also, as if newer, those among changedBytes.
std::vector<std::u16string> SelectDownloads(const VersionList& serverList,
                                            const VersionList& localList,
                                            const VersionList& infoList,
                                            const std::u16string& applicationDirectory,
                                            const PathExistsTest& pathExists,
                                            const std::set<std::string>& changedBytes = {});

// The names whose listed digest differs from the one recorded for them. A
// numbered list selects them as if they were newer: the publisher gives a
// name that was dropped and comes back, or that older publishers listed
// lower, the version it can, and only the digest tells its bytes apart.
std::set<std::string> NamesWithChangedDigest(const ListDigests& listed,
                                             const ListDigests& recorded);

// True when the server list names a file at a version older than one
// recorded for it in the local list or the info list, names compared by
// StoredNameKey. A launcher that trusts only signed lists takes such a list as
// a replay of an old release.
bool NamesOlderVersion(const VersionList& serverList, const VersionList& localList,
                       const VersionList& infoList);

#endif  // APP_UPDATE_SELECTION_H_
