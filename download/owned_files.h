// The journal of the files the launcher makes beside its targets and settles
// later: today the aside copies of replaced files. It is written whole
// (base/whole_file.h) beside the record, as this text:
//
//   crv3launcher owned files
//   aside|moving|sub\a.dll.crv3old
//   end
//
// One line per file: its kind, its state and the rest of the line, which for
// an aside copy is its path below the application directory ("\" between
// folders, UTF-8); Windows allows no "|" and no line break in a name. An
// entry of a kind this launcher does not know is kept as it was read, so the
// entries of a later launcher outlive this one's writes. The first and the
// last line tell a whole journal from a damaged one.
#ifndef DOWNLOAD_OWNED_FILES_H_
#define DOWNLOAD_OWNED_FILES_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kAsideKind = "aside";
// Noted before the target is renamed aside: until the new file is in, the
// aside copy holds the only bytes of the version the record names.
inline constexpr std::string_view kMovingState = "moving";
// The new file was in place: the aside copy only waits to be deleted.
inline constexpr std::string_view kInstalledState = "installed";

struct OwnedFile {
  std::string kind;
  std::string state;
  std::string rest;
};

// Nothing when the text is not a whole journal, or when an aside copy's path
// is not one below the application directory: such a journal is not acted
// on. An empty text is a journal without entries.
std::optional<std::vector<OwnedFile>> ParseOwnedFiles(std::string_view text);

// Empty for no entries: the journal is then removed.
std::string FormatOwnedFiles(const std::vector<OwnedFile>& files);

// fullPath relative to folder, for a path below it (also in the "\\?\"
// form); nothing for any other path, and for one with a part that Windows
// could read as "." or "..", a drive or a stream.
std::optional<std::u16string> PathBelow(const std::u16string& folder,
                                        std::u16string_view fullPath);

// True for a relative path ("\\" between folders) that stays below the folder
// it is relative to: no part Windows could read as "." or "..", a drive or a
// stream.
[[nodiscard]] bool IsRelativePathBelow(std::u16string_view relative);

// The full path of a path below folder, in the "\\?\" form when the plain
// form would not fit.
std::u16string FullPathBelow(const std::u16string& folder, std::u16string_view relative);

#endif  // DOWNLOAD_OWNED_FILES_H_
