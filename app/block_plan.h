// Turns what the block search found into the order in which the new file is
// put together: runs copied from the installed copy and runs fetched by range.
#ifndef APP_BLOCK_PLAN_H_
#define APP_BLOCK_PLAN_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "download/assembly_plan.h"
#include "lists/block_index.h"

class Platform;

// found: per block of the index, the installed copy's offset of its bytes or
// nothing (BlockMatcher::found()). Blocks found back to back in the installed
// copy make one held run, and missing blocks next to each other one fetched
// run, so that every run is one copy or one request. Nothing when no block
// was found (a ranged plan would then only fetch the whole file piecemeal) or
// when found does not describe this index.
std::optional<AssemblyPlan> PlanAssembly(const BlockIndex& index,
                                         const std::vector<std::optional<uint64_t>>& found);

// The plan for the listed file from its installed copy at target, or nothing
// when it is fetched whole: no digest listed (an index is trusted only for the
// digest the list gives), a name stored under another one (its installed
// bytes are not the served ones), an installed copy below
// kBlockIndexThreshold, or an index that is missing, malformed or describes
// other bytes.
std::optional<AssemblyPlan> PlanFromInstalledCopy(const std::u16string& listedName,
                                                  const std::u16string& target,
                                                  const std::string& digest, Platform& platform);

#endif  // APP_BLOCK_PLAN_H_
