// The names the launcher is built with, which the publisher checks releases
// against.
#ifndef LISTS_APPLICATION_NAMES_H_
#define LISTS_APPLICATION_NAMES_H_

#include <string>
#include <string_view>

inline constexpr std::u16string_view ApplicationDirectoryName = u"corvane3";
inline constexpr std::u16string_view ExecutableName = u"crv3v2.exe";
// The launcher's record of installed versions, in the application directory.
inline constexpr std::u16string_view LocalListName = u"local_list.txt";
// The number of the last release accepted, beside the record (a launcher with
// a key only).
inline constexpr std::u16string_view AcceptedReleaseName = u"release_number.txt";

// C:\corvane3, no trailing separator.
inline std::u16string ApplicationDirectory() {
  return u"C:\\" + std::u16string(ApplicationDirectoryName);
}

#endif  // LISTS_APPLICATION_NAMES_H_
