#include "app/block_plan.h"

#include <algorithm>
#include <string_view>

#include "app/app_paths.h"
#include "app/platform.h"
#include "lists/block_match.h"
#include "lists/storable_name.h"

namespace {

// Extends the last run when the block continues it, else starts a new one.
void AppendBlock(AssemblyPlan& plan, uint64_t length, std::optional<uint64_t> heldOffset) {
  if (!plan.runs.empty()) {
    AssemblyRun& last = plan.runs.back();
    const bool continuesFetched = !heldOffset && !last.held;
    const bool continuesHeld =
        heldOffset && last.held && last.heldOffset + last.length == *heldOffset;
    if (continuesFetched || continuesHeld) {
      last.length += length;
      return;
    }
  }
  plan.runs.push_back(AssemblyRun{length, heldOffset.has_value(), heldOffset.value_or(0)});
}

}  // namespace

std::optional<AssemblyPlan> PlanAssembly(const BlockIndex& index,
                                         const std::vector<std::optional<uint64_t>>& found) {
  if (index.blockSize == 0 || found.size() != BlockCountOf(index.fileSize, index.blockSize) ||
      std::none_of(found.begin(), found.end(), [](const auto& at) { return at.has_value(); })) {
    return std::nullopt;
  }
  AssemblyPlan plan;
  plan.fileSize = index.fileSize;
  for (size_t block = 0; block < found.size(); ++block) {
    const uint64_t start = uint64_t{block} * index.blockSize;
    AppendBlock(plan, std::min<uint64_t>(index.blockSize, index.fileSize - start), found[block]);
  }
  return plan;
}

std::optional<AssemblyPlan> PlanFromInstalledCopy(const std::u16string& listedName,
                                                  const std::u16string& target,
                                                  const std::string& digest, Platform& platform) {
  if (digest.empty() || LocalFileName(listedName) != listedName) return std::nullopt;
  const std::optional<uint64_t> installedSize = platform.FileSize(target);
  if (!installedSize || *installedSize < kBlockIndexThreshold) return std::nullopt;
  const std::u16string indexUrl = std::u16string(BaseUrl) + listedName +
                                  std::u16string(kBlockIndexEnding.begin(), kBlockIndexEnding.end());
  const std::optional<BlockIndex> index =
      ParseBlockIndex(platform.FetchBlockIndex(indexUrl));
  if (!index || index->fileDigest != digest) return std::nullopt;
  BlockMatcher matcher(*index);
  if (!platform.ReadFileInPieces(target,
                                 [&matcher](std::string_view piece) { matcher.Add(piece); })) {
    return std::nullopt;
  }
  matcher.Finish();
  return PlanAssembly(*index, matcher.found());
}
