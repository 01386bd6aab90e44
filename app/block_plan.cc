#include "app/block_plan.h"

#include <algorithm>

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
