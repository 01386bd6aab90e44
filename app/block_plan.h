// Turns what the block search found into the order in which the new file is
// put together: runs copied from the installed copy and runs fetched by range.
#ifndef APP_BLOCK_PLAN_H_
#define APP_BLOCK_PLAN_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "download/assembly_plan.h"
#include "lists/block_index.h"

// found: per block of the index, the installed copy's offset of its bytes or
// nothing (BlockMatcher::found()). Blocks found back to back in the installed
// copy make one held run, and missing blocks next to each other one fetched
// run, so that every run is one copy or one request. Nothing when no block
// was found (a ranged plan would then only fetch the whole file piecemeal) or
// when found does not describe this index.
std::optional<AssemblyPlan> PlanAssembly(const BlockIndex& index,
                                         const std::vector<std::optional<uint64_t>>& found);

#endif  // APP_BLOCK_PLAN_H_
