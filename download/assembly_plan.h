// How a new file is put together from bytes the launcher already holds and
// bytes it fetches: the new file's bytes in order, each run either copied
// from the installed copy of the file or fetched from the server with a
// ranged request for the same offsets of the new file.
#ifndef DOWNLOAD_ASSEMBLY_PLAN_H_
#define DOWNLOAD_ASSEMBLY_PLAN_H_

#include <cstdint>
#include <vector>

struct AssemblyRun {
  uint64_t length = 0;
  bool held = false;        // copied from the installed copy, else fetched
  uint64_t heldOffset = 0;  // where a held run starts in the installed copy
};

struct AssemblyPlan {
  uint64_t fileSize = 0;            // the sum of the runs' lengths
  std::vector<AssemblyRun> runs;    // in the new file's order
};

#endif  // DOWNLOAD_ASSEMBLY_PLAN_H_
