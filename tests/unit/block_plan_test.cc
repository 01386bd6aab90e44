#include "app/block_plan.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A run as "h<offset>+<length>" (held) or "f+<length>" (fetched).
std::string Describe(const std::optional<AssemblyPlan>& plan) {
  if (!plan) return "none";
  std::string text = std::to_string(plan->fileSize) + ":";
  for (const AssemblyRun& run : plan->runs) {
    text += (run.held ? " h" + std::to_string(run.heldOffset) : std::string(" f")) + "+" +
            std::to_string(run.length);
  }
  return text;
}

struct PlanCase {
  const char* description;
  uint64_t fileSize;
  std::vector<std::optional<uint64_t>> found;
  std::string plan;
};

TEST(PlanAssemblyTest, MergesRunsOfTheInstalledCopyAndOfTheServer) {
  constexpr auto none = std::nullopt;
  // Blocks of 4 bytes.
  const PlanCase cases[] = {
      {"everything found in place", 12, {0, 4, 8}, "12: h0+12"},
      {"shifted by an insertion", 12, {7, 11, 15}, "12: h7+12"},
      {"repeated block, copied twice", 12, {0, 0, 4}, "12: h0+4 h0+8"},
      {"reordered blocks", 12, {8, 0, 4}, "12: h8+4 h0+8"},
      {"missing blocks merge", 20, {0, none, none, 12, none}, "20: h0+4 f+8 h12+4 f+4"},
      {"last short block held", 10, {0, 4, 8}, "10: h0+10"},
      {"last short block missing", 10, {0, 4, none}, "10: h0+8 f+2"},
      {"last short block found elsewhere", 10, {none, none, 0}, "10: f+8 h0+2"},
      {"nothing found", 12, {none, none, none}, "none"},
      {"found for another index", 12, {0, 4}, "none"},
  };
  for (const PlanCase& c : cases) {
    BlockIndex index;
    index.fileSize = c.fileSize;
    index.blockSize = 4;
    EXPECT_EQ(Describe(PlanAssembly(index, c.found)), c.plan) << c.description;
  }
}

}  // namespace
