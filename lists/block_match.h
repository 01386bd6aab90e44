// Finds, in a file the launcher already holds, the blocks of a new file that
// its block index describes, at any offset: bytes inserted or removed before
// a block do not hide it.
//
// The held file is scanned with the rolling weak sum of one block's length;
// a position whose sum some block of the index has is confirmed by the
// block's strong hash, and every block with those bytes is recorded there
// (identical blocks are all found). After a match the scan jumps one block
// on. A last block shorter than the others is looked for only at the held
// file's very end, where an unchanged file keeps it: trying its own length at
// every position would double the scan for one block.
#ifndef LISTS_BLOCK_MATCH_H_
#define LISTS_BLOCK_MATCH_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "lists/block_index.h"

class BlockMatcher {
 public:
  explicit BlockMatcher(const BlockIndex& index);
  BlockMatcher(const BlockMatcher&) = delete;
  BlockMatcher& operator=(const BlockMatcher&) = delete;
  ~BlockMatcher();

  // Feeds the held file's bytes in order, in pieces of any size. Memory does
  // not grow with the held file.
  void Add(std::string_view piece);
  // Ends the held file (its last, shorter block may match the index's last).
  void Finish();

  // Per block of the index: the offset in the held file where its bytes
  // were found, or nothing.
  const std::vector<std::optional<uint64_t>>& found() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

#endif  // LISTS_BLOCK_MATCH_H_
