#include "lists/block_match.h"

#include <algorithm>
#include <string>

#include "base/sha256.h"
#include "lists/rolling_sum.h"

namespace {

constexpr uint32_t kNoBlock = UINT32_MAX;

// The held bytes a scan keeps beyond the window, in blocks: pieces are
// copied in at most this much at a time so memory stays flat whatever the
// caller's piece size.
constexpr size_t kChunkBlocks = 4;

size_t PowerOfTwoAtLeast(size_t n) {
  size_t size = 1;
  while (size < n) size *= 2;
  return size;
}

// Open-addressed table from weak sum to the blocks that have it, in front of
// which a bit filter rejects most positions without touching the table:
// the filter stays in cache where the table would not.
class WeakSumTable {
 public:
  explicit WeakSumTable(const std::vector<uint64_t>& sums, size_t count)
      : slots_(PowerOfTwoAtLeast(std::max<size_t>(2 * count, 16))),
        slotShift_(64 - BitsOf(slots_.size())),
        filter_(slots_.size() / 8),  // 8 bits a slot: about 1 in 16 passes
        filterMask_(filter_.size() * 64 - 1) {
    for (size_t j = 0; j < count; ++j) Insert(sums[j], static_cast<uint32_t>(j));
  }

  bool MayHold(uint64_t sum) const {
    const uint64_t bit = sum & filterMask_;
    return (filter_[bit / 64] >> (bit % 64)) & 1;
  }

  // Calls visit(block) for every block whose weak sum is `sum`.
  template <typename Visit>
  void ForEachBlockWith(uint64_t sum, Visit visit) const {
    for (size_t at = SlotOf(sum); slots_[at].block != kNoBlock;
         at = (at + 1) & (slots_.size() - 1))
      if (slots_[at].sum == sum) visit(slots_[at].block);
  }

 private:
  struct Slot {
    uint64_t sum = 0;
    uint32_t block = kNoBlock;
  };

  static unsigned BitsOf(size_t powerOfTwo) {
    unsigned bits = 0;
    while ((size_t{1} << bits) < powerOfTwo) ++bits;
    return bits;
  }

  // The high bits, which every byte of the window reaches; the filter takes
  // the low ones so the two tests are independent.
  size_t SlotOf(uint64_t sum) const { return static_cast<size_t>(sum >> slotShift_); }

  void Insert(uint64_t sum, uint32_t block) {
    size_t at = SlotOf(sum);
    while (slots_[at].block != kNoBlock) at = (at + 1) & (slots_.size() - 1);
    slots_[at] = {sum, block};
    const uint64_t bit = sum & filterMask_;
    filter_[bit / 64] |= uint64_t{1} << (bit % 64);
  }

  std::vector<Slot> slots_;
  unsigned slotShift_;
  std::vector<uint64_t> filter_;
  uint64_t filterMask_;
};

}  // namespace

struct BlockMatcher::State {
  explicit State(const BlockIndex& index)
      : blockSize(index.blockSize),
        lastBlockSize(LastBlockSize(index)),
        blocks(std::min(index.weakSums.size(),
                        index.strongHashes.size() / kBlockStrongHashSize)),
        fullBlocks(blocks - (lastBlockSize < blockSize && blocks > 0)),
        weakSums(index.weakSums),
        strongHashes(index.strongHashes),
        table(index.weakSums, fullBlocks),
        roll(blockSize),
        found(blocks) {}

  static size_t LastBlockSize(const BlockIndex& index) {
    const uint64_t rest = index.blockSize ? index.fileSize % index.blockSize : 0;
    return rest ? static_cast<size_t>(rest) : index.blockSize;
  }

  std::string_view StrongHashOf(size_t block) const {
    return std::string_view(strongHashes)
        .substr(block * kBlockStrongHashSize, kBlockStrongHashSize);
  }

  // Records every block with the window's bytes; true when there was one.
  bool TryMatch(uint64_t sum, std::string_view window, uint64_t heldOffset) {
    std::string strong;
    bool matched = false;
    table.ForEachBlockWith(sum, [&](uint32_t block) {
      if (strong.empty())
        strong = Sha256Of(window).substr(0, kBlockStrongHashSize);
      if (StrongHashOf(block) != strong) return;
      matched = true;
      if (!found[block]) found[block] = heldOffset;
    });
    return matched;
  }

  // Scans the buffered bytes as far as a whole window reaches.
  void Scan() {
    for (;;) {
      if (!haveSum) {
        if (position + blockSize > buffer.size()) return;
        sum = RollingSumOf(Window());
        haveSum = true;
        triedHere = false;
      }
      if (!triedHere) {
        triedHere = true;
        if (table.MayHold(sum) && TryMatch(sum, Window(), Offset())) {
          position += blockSize;  // a found block's bytes hold no other block
          haveSum = false;
          continue;
        }
      }
      if (!RollToCandidate()) return;
    }
  }

  // Moves the window on until the filter lets its sum through; false when
  // the buffered bytes run out first (every position passed was tried).
  bool RollToCandidate() {
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
    const size_t end = buffer.size() - blockSize;
    while (position < end) {
      sum = roll.Roll(sum, bytes[position], bytes[position + blockSize]);
      ++position;
      if (table.MayHold(sum)) {
        triedHere = false;
        return true;
      }
    }
    return false;
  }

  std::string_view Window() const {
    return std::string_view(buffer).substr(position, blockSize);
  }
  uint64_t Offset() const { return bufferStart + position; }

  // Drops the bytes behind the window but keeps at least one block's worth,
  // so that Finish still has the held file's tail. Only whole blocks are
  // dropped: tiny pieces must not move the buffer at every byte.
  void Compact() {
    const size_t keep = std::min(buffer.size(), size_t{blockSize});
    const size_t drop = std::min(position, buffer.size() - keep);
    if (drop < blockSize) return;
    buffer.erase(0, drop);
    bufferStart += drop;
    position -= drop;
  }

  size_t blockSize;
  size_t lastBlockSize;
  size_t blocks;  // an index that is not whole is only used as far as it is
  size_t fullBlocks;
  std::vector<uint64_t> weakSums;
  std::string strongHashes;
  WeakSumTable table;
  RollingSumWindow roll;
  std::vector<std::optional<uint64_t>> found;

  std::string buffer;
  uint64_t bufferStart = 0;  // held offset of buffer[0]
  size_t position = 0;       // window start in buffer
  uint64_t sum = 0;
  bool haveSum = false;
  bool triedHere = false;
  bool finished = false;
};

BlockMatcher::BlockMatcher(const BlockIndex& index)
    : state_(std::make_unique<State>(index)) {}

BlockMatcher::~BlockMatcher() = default;

void BlockMatcher::Add(std::string_view piece) {
  State& s = *state_;
  if (s.finished || s.blockSize == 0) return;
  const size_t chunk = kChunkBlocks * s.blockSize;
  while (!piece.empty()) {
    const size_t take = std::min(piece.size(), chunk);
    s.buffer.append(piece.substr(0, take));
    piece.remove_prefix(take);
    s.Scan();
    s.Compact();
  }
}

void BlockMatcher::Finish() {
  State& s = *state_;
  if (s.finished || s.found.empty()) return;
  s.finished = true;
  const size_t last = s.found.size() - 1;
  if (s.lastBlockSize == s.blockSize || s.buffer.size() < s.lastBlockSize ||
      s.found[last])
    return;
  const std::string_view tail =
      std::string_view(s.buffer).substr(s.buffer.size() - s.lastBlockSize);
  if (RollingSumOf(tail) == s.weakSums[last] &&
      Sha256Of(tail).substr(0, kBlockStrongHashSize) == s.StrongHashOf(last))
    s.found[last] = s.bufferStart + s.buffer.size() - s.lastBlockSize;
}

const std::vector<std::optional<uint64_t>>& BlockMatcher::found() const {
  return state_->found;
}
