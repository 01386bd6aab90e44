#include "app/update_selection.h"

#include <algorithm>
#include <string_view>

#include "base/ascii_case.h"
#include "lists/ansi.h"

namespace {

// Versions are compared as signed numbers; equal is never newer.
bool NeedsDownload(const std::string& name, int64_t serverVersion, const VersionList& localList,
                   const VersionList& infoList, const std::u16string& applicationDirectory,
                   const PathExistsTest& pathExists) {
  const auto info = infoList.find(name);
  if (info != infoList.end()) return serverVersion > info->second;

  const auto local = localList.find(name);
  if (local == localList.end() || serverVersion > local->second) return true;

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
  std::vector<std::u16string> downloads;
  for (const auto& [name, serverVersion] : serverList) {
    if (changedBytes.count(name) > 0 ||
        NeedsDownload(name, serverVersion, localList, infoList, applicationDirectory,
                      pathExists)) {
      downloads.push_back(AnsiToWide(name));
    }
  }
  return downloads;
}

std::set<std::string> NamesWithChangedDigest(const ListDigests& listed,
                                             const ListDigests& recorded) {
  std::set<std::string> changed;
  for (const auto& [name, digest] : listed) {
    const auto before = recorded.find(name);
    if (before != recorded.end() && before->second != digest) changed.insert(name);
  }
  return changed;
}

bool NamesOlderVersion(const VersionList& serverList, const VersionList& localList,
                       const VersionList& infoList) {
  for (const auto& [name, serverVersion] : serverList) {
    const VersionList& record = infoList.count(name) ? infoList : localList;
    const auto recorded = record.find(name);
    if (recorded != record.end() && serverVersion < recorded->second) return true;
  }
  return false;
}

std::u16string LocalFileName(const std::u16string& name) {
  if (!EndsWithIgnoringAsciiCase<char16_t>(name, kZippedIniEnding)) return name;
  return name.substr(0, name.size() - kZippedIniEnding.size()) + std::u16string(kIniEnding);
}
