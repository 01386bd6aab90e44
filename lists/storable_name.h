// Where the launcher stores a name from the server's list inside the
// application directory, and whether it can.
#ifndef LISTS_STORABLE_NAME_H_
#define LISTS_STORABLE_NAME_H_

#include <string>
#include <string_view>

// Windows stores a name the way it normalises the path: "/" and "\" both
// separate, empty components collapse, and trailing dots and blanks of a
// component are dropped ("a.dll " is stored as "a.dll", "dir./x" as "dir\x",
// "/lead.dat" as "lead.dat"). False only for names that could reach outside
// the directory or can never be a file there: no component at all, a
// component made only of dots and blanks ("..", ". "), any ":" (drives,
// streams), device names, the launcher's staging and aside endings, its
// journal at the top of the directory, names whose stored
// path does not fit the platform's path limit (MAX_PATH), and names longer
// than any path Windows takes (32,767 units with the directory).
[[nodiscard]] bool IsStorableName(std::u16string_view name,
                                  const std::u16string& applicationDirectory);

// A name's component as Windows stores it: without its trailing dots and
// blanks (empty for a component made only of them).
std::u16string_view StoredComponent(std::u16string_view component);

// The ending under which a server lists an ".ini" file (web servers commonly
// refuse to serve ".ini").
inline constexpr std::u16string_view kZippedIniEnding = u".i.zip";
inline constexpr std::u16string_view kIniEnding = u".ini";

// A name ending in ".i.zip" (ASCII case ignored) is stored as ".ini"; every
// other name is stored as listed.
std::u16string LocalFileName(const std::u16string& name);

// What identifies the file the launcher stores a listed name (code page 949
// bytes) as, for comparing names the way Windows does: two names with the
// same key are one file. The key follows LocalFileName (".i.zip" and ".ini"
// are one file), the first zero byte (where the conversion to UTF-16 ends),
// Windows' normalisation ("/" and "\" alike, empty components and trailing
// dots and blanks of each component dropped) and Windows' case-insensitive
// comparison, which folds Greek, Cyrillic, full-width and other letters of
// the code page as well as A to Z. Bytes that form no character are keyed as
// they are. A key is itself a name that the launcher stores as the same file.
std::string StoredNameKey(std::string_view listedName);

#endif  // LISTS_STORABLE_NAME_H_
