#include "app/update_selection.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>

#include "lists/ansi.h"
#include "lists/storable_name.h"

namespace {

// A record's versions under the keys of its names: names stored as one file
// are one entry, with the highest version recorded for any of them.
using RecordedVersions = std::map<std::string, int64_t>;

RecordedVersions ByStoredFile(const VersionList& record) {
  RecordedVersions versions;
  for (const auto& [name, version] : record) {
    const auto [entry, added] = versions.emplace(StoredNameKey(name), version);
    if (!added) entry->second = std::max(entry->second, version);
  }
  return versions;
}

// Versions are compared as signed numbers; equal is never newer.
bool NeedsDownload(const std::string& name, int64_t serverVersion,
                   const RecordedVersions& localVersions, const RecordedVersions& infoVersions,
                   const std::u16string& applicationDirectory, const PathExistsTest& pathExists) {
  const std::string key = StoredNameKey(name);
  const auto info = infoVersions.find(key);
  if (info != infoVersions.end()) return serverVersion > info->second;

  const auto local = localVersions.find(key);
  if (local == localVersions.end() || serverVersion > local->second) return true;

  // Recorded as current: fetch it again only when it is gone. The listed name
  // is tested as it stands, also when it is stored under another name.
  return !pathExists(applicationDirectory + u"\\" + AnsiToWide(name));
}

}  // namespace

std::vector<std::u16string> SelectDownloads(const VersionList& serverList,
                                            const VersionList& localList,
                                            const VersionList& infoList,
                                            const std::u16string& applicationDirectory,
                                            const PathExistsTest& pathExists,
                                            const std::set<std::string>& changedBytes) {
  const RecordedVersions localVersions = ByStoredFile(localList);
  const RecordedVersions infoVersions = ByStoredFile(infoList);
  std::vector<std::u16string> downloads;
  for (const auto& [name, serverVersion] : serverList) {
    if (changedBytes.count(name) > 0 ||
        NeedsDownload(name, serverVersion, localVersions, infoVersions, applicationDirectory,
                      pathExists)) {
      downloads.push_back(AnsiToWide(name));
    }
  }
  return downloads;
}

std::set<std::string> NamesWithChangedDigest(const ListDigests& listed,
                                             const ListDigests& recorded) {
  // The record may hold one file under several spellings: any other digest
  // among them selects it, since a needless fetch is safe and a missed one
  // leaves old bytes.
  std::map<std::string, std::set<std::string>> recordedByFile;
  for (const auto& [name, digest] : recorded) recordedByFile[StoredNameKey(name)].insert(digest);
  std::set<std::string> changed;
  for (const auto& [name, digest] : listed) {
    const auto before = recordedByFile.find(StoredNameKey(name));
    if (before == recordedByFile.end()) continue;
    if (before->second.size() > 1 || *before->second.begin() != digest) changed.insert(name);
  }
  return changed;
}

bool NamesOlderVersion(const VersionList& serverList, const VersionList& localList,
                       const VersionList& infoList) {
  // The info file adds to the record and never lowers it: a replay the record
  // tells apart must not pass because cv3info.ini names an older version.
  const RecordedVersions localVersions = ByStoredFile(localList);
  const RecordedVersions infoVersions = ByStoredFile(infoList);
  for (const auto& [name, serverVersion] : serverList) {
    const std::string key = StoredNameKey(name);
    for (const RecordedVersions* record : {&infoVersions, &localVersions}) {
      const auto recorded = record->find(key);
      if (recorded != record->end() && serverVersion < recorded->second) return true;
    }
  }
  return false;
}
