// The names the launcher gives its own files beside a target: the staging
// file it writes before it moves it over the target (the target's full path
// with ".crv3part" appended), and the aside copy, the old target renamed out
// of the way when a running program holds it (".crv3old" appended). Each
// name is fixed per target, so whatever a killed run left there is found by
// the next run, and no installed file may carry either ending.
#ifndef BASE_STAGING_PATH_H_
#define BASE_STAGING_PATH_H_

#include <string>
#include <string_view>

#include "base/ascii_case.h"

inline constexpr std::u16string_view kStagingSuffix = u".crv3part";
inline constexpr std::u16string_view kAsideSuffix = u".crv3old";
// The journal of the files the launcher made beside its targets, at the top
// of the application directory; no listed file may take its name either.
inline constexpr std::u16string_view kOwnedFilesName = u"owned_files.txt";

// MAX_PATH, 260 units with the terminating zero: the longest path the plain
// (not "\\?\") form takes.
inline constexpr size_t kMaxPathUnits = 259;

// The path of target's file with this ending, for a target given as a full
// path that Windows has already normalised. A target that just fits the path
// limit (MAX_PATH, 260 units with the terminating zero) must not lose that
// room to the ending, so a path that would not fit takes the long-path form
// "\\?\", which Windows passes on without a length limit and without
// normalising it again.
inline std::u16string SiblingPathForFullPath(const std::u16string& fullTarget,
                                             std::u16string_view suffix) {
  std::u16string sibling = fullTarget + std::u16string(suffix);
  if (sibling.size() > kMaxPathUnits) sibling.insert(0, u"\\\\?\\");
  return sibling;
}

// The path with this ending for target, normalised the way Windows stores the
// target ("a.dll " and "a.dll" share one). Windows only.
std::u16string SiblingPathFor(const std::u16string& target, std::u16string_view suffix);

inline std::u16string StagingPathFor(const std::u16string& target) {
  return SiblingPathFor(target, kStagingSuffix);
}

inline std::u16string AsidePathFor(const std::u16string& target) {
  return SiblingPathFor(target, kAsideSuffix);
}

// Windows compares file names without regard to case.
[[nodiscard]] inline bool IsStagingPath(std::u16string_view path) {
  return EndsWithIgnoringAsciiCase(path, kStagingSuffix);
}

[[nodiscard]] inline bool IsAsidePath(std::u16string_view path) {
  return EndsWithIgnoringAsciiCase(path, kAsideSuffix);
}

#endif  // BASE_STAGING_PATH_H_
