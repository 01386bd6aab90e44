#include "publish/release_names.h"

#include <map>
#include <optional>

#include "base/ascii_case.h"
#include "base/staging_path.h"
#include "base/utf8.h"
#include "lists/application_names.h"
#include "lists/list_digests.h"
#include "lists/list_signature.h"
#include "lists/storable_name.h"
#include "lists/version_list.h"
#include "publish/code_page.h"
#include "publish/list_writer.h"

namespace {

// Characters no Windows file name may hold; "/" separates parts here, and a
// "\" would turn into a separator on the launcher's side.
bool IsForbiddenInWindowsName(char16_t unit) {
  return unit < 0x20 || std::u16string_view(u"<>:\"|?*\\").find(unit) != std::u16string_view::npos;
}

// The file the launcher stores the name as, by the launcher's own key. Every
// name keyed here is listed in code page 949 or refused for not fitting it.
std::string StoredFile(std::u16string_view name) {
  return StoredNameKey(EncodeCodePage949(name).value_or(ToUtf8(name)));
}

// The keys of every folder on the way to the file, and of the file itself.
std::vector<std::string> PathKeys(std::u16string_view name) {
  const std::string file = StoredFile(name);
  std::vector<std::string> keys;
  for (size_t separator = file.find('\\'); separator != std::string::npos;
       separator = file.find('\\', separator + 1)) {
    keys.push_back(file.substr(0, separator));
  }
  keys.push_back(file);
  return keys;
}

// Windows drops trailing dots and blanks, so such a part would be stored
// under another name than the one listed and served.
bool HasPartEndingInDotOrBlank(std::u16string_view name) {
  while (true) {
    const size_t separator = name.find(u'/');
    const std::u16string_view part = name.substr(0, separator);
    if (StoredComponent(part) != part) return true;
    if (separator == std::u16string_view::npos) return false;
    name.remove_prefix(separator + 1);
  }
}

bool IsTopLevelNamed(std::u16string_view name, std::u16string_view reserved) {
  return StoredFile(name) == StoredFile(reserved);
}

// The first rule the name breaks, or nothing; `listName` receives the bytes
// it is listed under.
std::optional<std::string> ProblemWith(const std::u16string& releaseName,
                                       const std::u16string& servedName, std::string& listName) {
  for (const char16_t unit : releaseName) {
    if (IsForbiddenInWindowsName(unit)) return "holds a character Windows does not allow in names";
  }
  if (HasPartEndingInDotOrBlank(releaseName)) {
    return "a part ends in a dot or blank, which Windows drops from names";
  }
  if (IsStagingPath(releaseName)) {
    return "ends in " + ToUtf8(kStagingSuffix) + ", which the launcher keeps for unfinished files";
  }
  if (IsAsidePath(releaseName)) {
    return "ends in " + ToUtf8(kAsideSuffix) + ", which the launcher keeps for replaced files";
  }
  if (IsTopLevelNamed(releaseName, LocalListName)) {
    return "is the launcher's own record of installed versions";
  }
  if (IsTopLevelNamed(releaseName, kOwnedFilesName)) {
    return "is the launcher's own journal of the files it replaces";
  }
  if (IsTopLevelNamed(releaseName, AcceptedReleaseName)) {
    return "is the launcher's own record of the release number it accepted";
  }
  if (IsTopLevelNamed(servedName, kVersionHistoryFileName)) {
    return "would be served in place of the publisher's version history";
  }
  if (IsTopLevelNamed(servedName, kListFileName)) return "would be served in place of the list";
  if (IsTopLevelNamed(servedName,
                      std::u16string(kListFileName) + std::u16string(kSignatureFileEnding))) {
    return "would be served in place of the list's signature";
  }
  const std::u16string stored = LocalFileName(servedName);
  if (!EqualsIgnoringAsciiCase<char16_t>(stored, releaseName)) {
    return "would be stored by the launcher as " + ToUtf8(stored);
  }
  if (!LauncherStores(servedName)) {
    return "the launcher refuses to store this name (a device name, a part made only of dots "
           "or blanks, or too long below C:\\corvane3)";
  }
  const std::optional<std::string> encoded = EncodeCodePage949(servedName);
  if (!encoded || DecodeCodePage949(*encoded) != servedName) {
    return "cannot be written in code page 949, in which the launcher reads names";
  }
  if (!ReadsBackAsListName(*encoded)) return "cannot be written as a line of the list";
  listName = *encoded;
  return std::nullopt;
}

}  // namespace

std::u16string ServedNameOf(const std::u16string& releaseName, bool serveIniAsZip) {
  if (!serveIniAsZip || !EndsWithIgnoringAsciiCase<char16_t>(releaseName, kIniEnding)) {
    return releaseName;
  }
  return releaseName.substr(0, releaseName.size() - kIniEnding.size()) +
         std::u16string(kZippedIniEnding);
}

bool LauncherStores(const std::u16string& servedName) {
  return IsStorableName(LocalFileName(servedName), ApplicationDirectory());
}

std::vector<ListedFile> ReadListedFiles(const std::string& listText) {
  const ListDigests digests = ParseListDigests(listText);
  std::vector<ListedFile> listed;
  for (const auto& [listName, version] : ParseVersionList(listText)) {
    ListedFile& file = listed.emplace_back();
    file.name = DecodeCodePage949(listName);
    if (!file.name) {
      file.problem = listName + ": not readable in code page 949";
    } else if (!LauncherStores(*file.name)) {
      file.problem = ToUtf8(*file.name) + ": the launcher refuses to store this name";
      file.name.reset();
    }
    if (const auto digest = digests.find(listName); digest != digests.end()) {
      file.digest = digest->second;
    }
  }
  return listed;
}

NameCheck CheckReleaseNames(const std::vector<std::u16string>& releaseNames, bool serveIniAsZip) {
  NameCheck check;
  for (const std::u16string& releaseName : releaseNames) {
    PublishedName name{releaseName, ServedNameOf(releaseName, serveIniAsZip), {}};
    if (const auto problem = ProblemWith(name.releaseName, name.servedName, name.listName)) {
      check.errors.push_back(ToUtf8(releaseName) + ": " + *problem);
    } else {
      check.names.push_back(std::move(name));
    }
  }
  std::vector<std::u16string> accepted;
  for (const PublishedName& name : check.names) accepted.push_back(name.releaseName);
  for (std::string& collision : FindCollisions(accepted)) check.errors.push_back(collision);
  return check;
}

std::vector<std::string> FindCollisions(const std::vector<std::u16string>& storedNames) {
  std::map<std::string, const std::u16string*> files, folders;
  for (const std::u16string& name : storedNames) {
    const std::vector<std::string> keys = PathKeys(name);
    for (size_t i = 0; i + 1 < keys.size(); ++i) folders.emplace(keys[i], &name);
    files.emplace(keys.back(), &name);
  }
  std::vector<std::string> collisions;
  for (const std::u16string& name : storedNames) {
    const std::vector<std::string> keys = PathKeys(name);
    const std::u16string* first = files.at(keys.back());
    if (first != &name) {
      collisions.push_back(ToUtf8(name) + ": Windows stores it as the same file as " +
                           ToUtf8(*first));
    }
    const auto folder = folders.find(keys.back());
    if (folder != folders.end()) {
      collisions.push_back(ToUtf8(name) + ": Windows needs a folder of this name for " +
                           ToUtf8(*folder->second));
    }
  }
  return collisions;
}
