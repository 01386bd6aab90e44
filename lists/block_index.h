// The block index the publisher serves beside a large file, under the file's
// listed name with ".crv3blocks" appended. It cuts the file into blocks of
// one size (the last one may be shorter) and gives each a weak rolling
// checksum and the first bytes of its SHA-256, so that a launcher can find,
// at any offset of a file it already holds, the blocks it need not fetch.
//
// The index carries the length and the SHA-256 of its file. A launcher uses
// an index only when that digest is the one the signed list gives for the
// file, and it installs the file only when the assembled bytes have that
// digest: a forged or stale index can cost bytes, never install them.
//
// Byte layout, integers little-endian:
//   offset  size  field
//        0     8  magic "CRV3BLK\0"
//        8     4  format version (1)
//       12     8  fileSize
//       20     4  blockSize: a power of two, 16 KiB .. 1 GiB
//       24    32  SHA-256 of the whole file
//       56  24*n  per block, in file order: the 64-bit weak sum
//                 (lists/rolling_sum.h) of the block's bytes, then the first
//                 16 bytes of their SHA-256
// n = ceil(fileSize / blockSize), at most 2^18; nothing follows the blocks.
#ifndef LISTS_BLOCK_INDEX_H_
#define LISTS_BLOCK_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kBlockIndexEnding = ".crv3blocks";
// Files of at least this many bytes are served with an index.
inline constexpr uint64_t kBlockIndexThreshold = uint64_t{8} << 20;
// The leading bytes of a block's SHA-256 that the index keeps.
inline constexpr size_t kBlockStrongHashSize = 16;
inline constexpr uint32_t kMinBlockSize = uint32_t{16} << 10;
inline constexpr uint32_t kMaxBlockSize = uint32_t{1} << 30;
inline constexpr uint64_t kMaxBlockCount = uint64_t{1} << 18;
// Larger files get no index (their blocks would not fit the count).
inline constexpr uint64_t kMaxIndexedFileSize =
    uint64_t{kMaxBlockSize} * kMaxBlockCount;
inline constexpr size_t kBlockIndexHeaderSize = 56;
inline constexpr size_t kBlockIndexEntrySize = 8 + kBlockStrongHashSize;
// The largest index of any file: the bound on fetching one before its file's
// size is known.
inline constexpr uint64_t kMaxBlockIndexBytes =
    kBlockIndexHeaderSize + kBlockIndexEntrySize * kMaxBlockCount;

struct BlockIndex {
  uint64_t fileSize = 0;
  uint32_t blockSize = 0;
  std::string fileDigest;            // SHA-256 of the whole file, 32 bytes
  std::vector<uint64_t> weakSums;    // one per block, in file order
  std::string strongHashes;          // kBlockStrongHashSize bytes per block
};

// The block size the publisher uses for a file of this size: 16 KiB, doubled
// until the file has at most kMaxBlockCount blocks.
uint32_t BlockSizeFor(uint64_t fileSize);

// ceil(fileSize / blockSize); blockSize must not be 0.
uint64_t BlockCountOf(uint64_t fileSize, uint32_t blockSize);

// The largest index text a file of this size can have; a served index that is
// longer is refused unread.
uint64_t MaxBlockIndexSize(uint64_t fileSize);

// Builds the index of a file fed in pieces of any size, in order.
class BlockIndexBuilder {
 public:
  explicit BlockIndexBuilder(uint64_t fileSize);
  void Add(std::string_view bytes);
  // Nothing when the bytes fed do not add up to fileSize or the file is
  // larger than kMaxIndexedFileSize.
  std::optional<BlockIndex> Finish(std::string fileDigest);

 private:
  void AddBlock(std::string_view block);

  BlockIndex index_;
  std::string pending_;  // the bytes of the block not yet complete
  uint64_t fed_ = 0;
};

std::string FormatBlockIndex(const BlockIndex& index);

// Nothing unless the text is a whole, consistent index: block count, sizes
// and lengths all agree, and no field is out of range.
std::optional<BlockIndex> ParseBlockIndex(std::string_view text);

#endif  // LISTS_BLOCK_INDEX_H_
