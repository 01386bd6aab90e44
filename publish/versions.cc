#include "publish/versions.h"

#include <algorithm>
#include <limits>

namespace {

std::optional<int64_t> DefaultReleaseNumber(const VersionList& previous) {
  if (previous.empty()) return 1;
  const int64_t highest =
      std::max_element(previous.begin(), previous.end(), [](const auto& a, const auto& b) {
        return a.second < b.second;
      })->second;
  if (highest == std::numeric_limits<int64_t>::max()) return std::nullopt;
  return std::max<int64_t>(highest + 1, 1);
}

}  // namespace

VersionAssignment AssignVersions(const std::vector<VersionRequest>& requests,
                                 const VersionList& previous, std::optional<int64_t> requested) {
  VersionAssignment assignment;
  const std::optional<int64_t> release = requested ? requested : DefaultReleaseNumber(previous);
  if (!release) {
    assignment.errors.push_back(
        "filelist.txt: the previous list holds the highest possible version; give --release");
    return assignment;
  }
  assignment.releaseNumber = *release;
  for (const VersionRequest& request : requests) {
    const auto before = previous.find(request.listName);
    if (before != previous.end() && request.unchanged) {
      assignment.versions.push_back(before->second);
      continue;
    }
    if (before != previous.end() && before->second >= *release) {
      assignment.errors.push_back(request.shownName + ": changed, but release " +
                                  std::to_string(*release) + " is not newer than its version " +
                                  std::to_string(before->second));
    }
    assignment.versions.push_back(*release);
  }
  return assignment;
}
