// The one name under which the launcher writes a file before it moves it over
// its target: the target's full path with ".crv3part" appended, beside the
// target. The name is fixed per target, so whatever a killed run left there
// is found and replaced by the next write of the same target, and no
// installed file may carry the ending.
#ifndef BASE_STAGING_PATH_H_
#define BASE_STAGING_PATH_H_

#include <string>
#include <string_view>

#include "base/ascii_case.h"

inline constexpr std::u16string_view kStagingSuffix = u".crv3part";

// MAX_PATH, 260 units with the terminating zero: the longest path the plain
// (not "\\?\") form takes.
inline constexpr size_t kMaxPathUnits = 259;

// The staging path for a target given as a full path that Windows has already
// normalised. A target that just fits the path limit (MAX_PATH, 260 units
// with the terminating zero) must not lose that room to the ending, so a
// staging path that would not fit takes the long-path form "\\?\", which
// Windows passes on without a length limit and without normalising it again.
inline std::u16string StagingPathForFullPath(const std::u16string& fullTarget) {
  std::u16string staging = fullTarget + std::u16string(kStagingSuffix);
  if (staging.size() > kMaxPathUnits) staging.insert(0, u"\\\\?\\");
  return staging;
}

// The staging path for target, normalised the way Windows stores the target
// ("a.dll " and "a.dll" share one). Windows only.
std::u16string StagingPathFor(const std::u16string& target);

// Windows compares file names without regard to case.
[[nodiscard]] inline bool IsStagingPath(std::u16string_view path) {
  return EndsWithIgnoringAsciiCase(path, kStagingSuffix);
}

#endif  // BASE_STAGING_PATH_H_
