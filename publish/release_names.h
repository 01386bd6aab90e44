// The names a release is published under, checked against the rules the
// launcher applies when it reads the list and stores the files.
#ifndef PUBLISH_RELEASE_NAMES_H_
#define PUBLISH_RELEASE_NAMES_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct PublishedName {
  std::u16string releaseName;  // as in the release folder, "/" between parts
  std::u16string servedName;   // the file in the served folder
  std::string listName;        // servedName in code page 949, as listed
};

struct NameCheck {
  std::vector<PublishedName> names;  // in the order given
  std::vector<std::string> errors;   // one line per refused name
};

// ".ini" files are served as ".i.zip" when serveIniAsZip is set; the
// launcher stores them back as ".ini".
std::u16string ServedNameOf(const std::u16string& releaseName, bool serveIniAsZip);

NameCheck CheckReleaseNames(const std::vector<std::u16string>& releaseNames, bool serveIniAsZip);

// One line for each name that Windows would store as the same file as an
// earlier one, or as a folder another name needs, by StoredNameKey (letter
// case as Windows folds it, trailing dots and blanks of a part, ".i.zip"
// and ".ini" do not count).
std::vector<std::string> FindCollisions(const std::vector<std::u16string>& storedNames);

// Whether the launcher can store the file listed as servedName, under the
// application directory it installs into.
bool LauncherStores(const std::u16string& servedName);

// One line of a served list as the launcher reads it.
struct ListedFile {
  // The listed name (code page 949 bytes) as the launcher requests and stores
  // it, or nothing with the problem: the line that says why it never will.
  std::optional<std::u16string> name;
  std::string problem;
  std::optional<std::string> digest;  // the line's SHA-256, when it has one
};

// The files a served list names, in the order the launcher takes them.
std::vector<ListedFile> ReadListedFiles(const std::string& listText);

#endif  // PUBLISH_RELEASE_NAMES_H_
