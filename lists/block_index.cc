#include "lists/block_index.h"

#include <algorithm>
#include <utility>

#include "base/sha256.h"
#include "lists/rolling_sum.h"

namespace {

constexpr std::string_view kMagic{"CRV3BLK\0", 8};
constexpr uint32_t kFormatVersion = 1;

void AppendLittleEndian(std::string& out, uint64_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i)
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint64_t ReadLittleEndian(std::string_view text, size_t offset, size_t bytes) {
  uint64_t value = 0;
  for (size_t i = 0; i < bytes; ++i)
    value |= uint64_t{static_cast<unsigned char>(text[offset + i])} << (8 * i);
  return value;
}

bool IsAllowedBlockSize(uint64_t size) {
  return size >= kMinBlockSize && size <= kMaxBlockSize &&
         (size & (size - 1)) == 0;
}

}  // namespace

uint32_t BlockSizeFor(uint64_t fileSize) {
  uint32_t size = kMinBlockSize;
  while (size < kMaxBlockSize && BlockCountOf(fileSize, size) > kMaxBlockCount)
    size *= 2;
  return size;
}

uint64_t BlockCountOf(uint64_t fileSize, uint32_t blockSize) {
  return fileSize / blockSize + (fileSize % blockSize ? 1 : 0);
}

uint64_t MaxBlockIndexSize(uint64_t fileSize) {
  const uint64_t blocks = BlockCountOf(fileSize, BlockSizeFor(fileSize));
  return kBlockIndexHeaderSize +
         kBlockIndexEntrySize * std::min(blocks, kMaxBlockCount);
}

BlockIndexBuilder::BlockIndexBuilder(uint64_t fileSize) {
  index_.fileSize = fileSize;
  index_.blockSize = BlockSizeFor(fileSize);
}

void BlockIndexBuilder::Add(std::string_view bytes) {
  fed_ += bytes.size();
  while (!bytes.empty()) {
    const size_t take =
        std::min(bytes.size(), size_t{index_.blockSize} - pending_.size());
    // A whole block straight from the piece needs no copy.
    const bool wholeBlockInPlace = pending_.empty() && take == index_.blockSize;
    if (!wholeBlockInPlace) pending_.append(bytes.substr(0, take));
    const std::string_view block =
        wholeBlockInPlace ? bytes.substr(0, take) : std::string_view(pending_);
    if (block.size() == index_.blockSize) {
      AddBlock(block);
      pending_.clear();
    }
    bytes.remove_prefix(take);
  }
}

void BlockIndexBuilder::AddBlock(std::string_view block) {
  index_.weakSums.push_back(RollingSumOf(block));
  index_.strongHashes.append(Sha256Of(block).substr(0, kBlockStrongHashSize));
}

std::optional<BlockIndex> BlockIndexBuilder::Finish(std::string fileDigest) {
  if (fed_ != index_.fileSize || index_.fileSize > kMaxIndexedFileSize ||
      fileDigest.size() != kSha256Size)
    return std::nullopt;
  if (!pending_.empty()) AddBlock(pending_);
  pending_.clear();
  if (index_.strongHashes.size() !=
      index_.weakSums.size() * kBlockStrongHashSize)
    return std::nullopt;  // the provider failed on a block
  index_.fileDigest = std::move(fileDigest);
  return std::move(index_);
}

std::string FormatBlockIndex(const BlockIndex& index) {
  std::string text(kMagic);
  text.reserve(kBlockIndexHeaderSize +
               kBlockIndexEntrySize * index.weakSums.size());
  AppendLittleEndian(text, kFormatVersion, 4);
  AppendLittleEndian(text, index.fileSize, 8);
  AppendLittleEndian(text, index.blockSize, 4);
  text.append(index.fileDigest);
  for (size_t i = 0; i < index.weakSums.size(); ++i) {
    AppendLittleEndian(text, index.weakSums[i], 8);
    text.append(index.strongHashes, i * kBlockStrongHashSize,
                kBlockStrongHashSize);
  }
  return text;
}

std::optional<BlockIndex> ParseBlockIndex(std::string_view text) {
  if (text.size() < kBlockIndexHeaderSize || text.size() > kMaxBlockIndexBytes ||
      text.substr(0, kMagic.size()) != kMagic ||
      ReadLittleEndian(text, 8, 4) != kFormatVersion)
    return std::nullopt;
  BlockIndex index;
  index.fileSize = ReadLittleEndian(text, 12, 8);
  const uint64_t blockSize = ReadLittleEndian(text, 20, 4);
  if (!IsAllowedBlockSize(blockSize) || index.fileSize > kMaxIndexedFileSize)
    return std::nullopt;
  index.blockSize = static_cast<uint32_t>(blockSize);
  const uint64_t blocks = BlockCountOf(index.fileSize, index.blockSize);
  // The count bound also keeps the text within MaxBlockIndexSize(fileSize):
  // blocks smaller than BlockSizeFor gives would exceed it.
  if (blocks > kMaxBlockCount ||
      text.size() != kBlockIndexHeaderSize + kBlockIndexEntrySize * blocks)
    return std::nullopt;
  index.fileDigest = std::string(text.substr(24, kSha256Size));
  index.weakSums.reserve(blocks);
  index.strongHashes.reserve(blocks * kBlockStrongHashSize);
  for (size_t at = kBlockIndexHeaderSize; at < text.size();
       at += kBlockIndexEntrySize) {
    index.weakSums.push_back(ReadLittleEndian(text, at, 8));
    index.strongHashes.append(text.substr(at + 8, kBlockStrongHashSize));
  }
  return index;
}
