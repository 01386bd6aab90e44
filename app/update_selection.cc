#include "app/update_selection.h"

#include <algorithm>
#include <string_view>

#include "lists/ansi.h"

namespace {

constexpr std::u16string_view kZippedIniEnding = u".i.zip";
constexpr std::u16string_view kIniEnding = u".ini";

char16_t FoldAsciiCase(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

bool HasZippedIniEnding(std::u16string_view name) {
  if (name.size() < kZippedIniEnding.size()) return false;
  const std::u16string_view ending = name.substr(name.size() - kZippedIniEnding.size());
  return std::equal(ending.begin(), ending.end(), kZippedIniEnding.begin(),
                    [](char16_t unit, char16_t wanted) { return FoldAsciiCase(unit) == wanted; });
}

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
                                            const PathExistsTest& pathExists) {
  std::vector<std::u16string> downloads;
  for (const auto& [name, serverVersion] : serverList) {
    if (NeedsDownload(name, serverVersion, localList, infoList, applicationDirectory,
                      pathExists)) {
      downloads.push_back(AnsiToWide(name));
    }
  }
  return downloads;
}

std::u16string LocalFileName(const std::u16string& name) {
  if (!HasZippedIniEnding(name)) return name;
  return name.substr(0, name.size() - kZippedIniEnding.size()) + std::u16string(kIniEnding);
}
