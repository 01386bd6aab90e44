// The one name under which the launcher writes a file before it moves it over
// its target: "<target>.crv3part", beside the target. The name is fixed per
// target, so whatever a killed run left there is found and replaced by the
// next write of the same target, and no installed file may carry the ending.
#ifndef BASE_STAGING_PATH_H_
#define BASE_STAGING_PATH_H_

#include <string>
#include <string_view>

#include "base/ascii_case.h"

inline constexpr std::u16string_view kStagingSuffix = u".crv3part";

inline std::u16string StagingPathFor(const std::u16string& target) {
  return target + std::u16string(kStagingSuffix);
}

// Windows compares file names without regard to case.
[[nodiscard]] inline bool IsStagingPath(std::u16string_view path) {
  return EndsWithIgnoringAsciiCase(path, kStagingSuffix);
}

#endif  // BASE_STAGING_PATH_H_
