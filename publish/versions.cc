#include "publish/versions.h"

#include <algorithm>
#include <limits>
#include <map>

#include "lists/list_digests.h"
#include "lists/storable_name.h"

namespace {

std::optional<int64_t> DefaultNewVersion(const VersionHistory& history) {
  if (history.empty()) return 1;
  const int64_t highest =
      std::max_element(history.begin(), history.end(), [](const auto& a, const auto& b) {
        return a.second.version < b.second.version;
      })->second.version;
  if (highest == std::numeric_limits<int64_t>::max()) return std::nullopt;
  return std::max<int64_t>(highest + 1, 1);
}

// The version a file keeps: the highest its name was given, when its bytes
// are the ones given with it (by the history's digest, or unchanged against
// a previous copy listed at that version).
std::optional<int64_t> KeptVersion(const VersionRequest& request, const VersionList& previous,
                                   const VersionHistory& history) {
  const auto highest = history.find(request.listName);
  if (highest == history.end()) return std::nullopt;
  const auto before = previous.find(request.listName);
  const bool unchangedAtHighest =
      request.unchanged && before != previous.end() && before->second == highest->second.version;
  const bool sameBytes =
      !highest->second.digest.empty() && highest->second.digest == request.digest;
  if (unchangedAtHighest || sameBytes) return highest->second.version;
  return std::nullopt;
}

// The highest version given to each stored file, under any of its names: a
// launcher that installed one spelling holds the file to it.
std::map<std::string, int64_t> HighestByStoredFile(const VersionHistory& history) {
  std::map<std::string, int64_t> highest;
  for (const auto& [name, entry] : history) {
    const auto [known, added] = highest.emplace(StoredNameKey(name), entry.version);
    if (!added) known->second = std::max(known->second, entry.version);
  }
  return highest;
}

}  // namespace

VersionAssignment AssignVersions(const std::vector<VersionRequest>& requests,
                                 const VersionList& previous, const VersionHistory& history,
                                 std::optional<int64_t> requested) {
  VersionAssignment assignment;
  const std::optional<int64_t> release = requested ? requested : DefaultNewVersion(history);
  if (!release) {
    assignment.errors.push_back(
        "filelist.txt: the previous list holds the highest possible version; give --release");
    return assignment;
  }
  assignment.newVersion = *release;
  const std::map<std::string, int64_t> highestByFile = HighestByStoredFile(history);
  for (const VersionRequest& request : requests) {
    if (const std::optional<int64_t> kept = KeptVersion(request, previous, history)) {
      assignment.versions.push_back(*kept);
      continue;
    }
    const auto highest = highestByFile.find(StoredNameKey(request.listName));
    if (highest != highestByFile.end() && highest->second >= *release) {
      assignment.errors.push_back(request.shownName + ": changed, but release " +
                                  std::to_string(*release) + " is not newer than its version " +
                                  std::to_string(highest->second));
    }
    assignment.versions.push_back(*release);
  }
  return assignment;
}

VersionHistory ReadVersionHistory(std::string_view text) {
  const ListDigests digests = ParseListDigests(text);
  VersionHistory history;
  for (const auto& [name, version] : ParseVersionList(text)) {
    const auto digest = digests.find(name);
    history[name] = ListEntry{version, digest == digests.end() ? std::string() : digest->second};
  }
  return history;
}

VersionHistory Highest(VersionHistory history, const VersionHistory& more) {
  for (const auto& [name, entry] : more) {
    const auto known = history.find(name);
    if (known == history.end() || entry.version >= known->second.version) history[name] = entry;
  }
  return history;
}
