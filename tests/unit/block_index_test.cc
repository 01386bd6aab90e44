#include "lists/block_index.h"

#include <gtest/gtest.h>

#include <random>

#include "base/sha256.h"
#include "lists/block_match.h"

namespace {

constexpr size_t kBlock = kMinBlockSize;

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

BlockIndex IndexOf(const std::string& file) {
  BlockIndexBuilder builder(file.size());
  for (size_t at = 0; at < file.size(); at += 10000)
    builder.Add(std::string_view(file).substr(at, 10000));
  return *builder.Finish(Sha256Of(file));
}

std::vector<std::optional<uint64_t>> Match(const BlockIndex& index,
                                           const std::string& held,
                                           size_t pieceSize) {
  BlockMatcher matcher(index);
  for (size_t at = 0; at < held.size(); at += pieceSize)
    matcher.Add(std::string_view(held).substr(at, pieceSize));
  matcher.Finish();
  return matcher.found();
}

TEST(BlockIndexTest, BlockSizeKeepsTheCountAtMostTwoToTheEighteenth) {
  const struct {
    uint64_t fileSize;
    uint32_t blockSize;
  } cases[] = {
      {0, kBlock},
      {kBlockIndexThreshold, kBlock},
      {uint64_t{1} << 30, kBlock},
      {uint64_t{4} << 30, kBlock},
      {(uint64_t{4} << 30) + 1, 2 * kBlock},
      {kMaxIndexedFileSize, kMaxBlockSize},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BlockSizeFor(c.fileSize), c.blockSize) << c.fileSize;
    EXPECT_LE(MaxBlockIndexSize(c.fileSize), kMaxBlockIndexBytes);
  }
  EXPECT_EQ(MaxBlockIndexSize(uint64_t{1} << 30), 56u + 24u * 65536u);
}

TEST(BlockIndexTest, ParsesWhatItFormatsAndRefusesAnythingElse) {
  const std::string file = RandomBytes(5 * kBlock + 100, 1);
  const BlockIndex built = IndexOf(file);
  const std::string text = FormatBlockIndex(built);
  ASSERT_EQ(text.size(), 56u + 24u * 6u);
  const std::optional<BlockIndex> parsed = ParseBlockIndex(text);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->fileSize, file.size());
  EXPECT_EQ(parsed->blockSize, kBlock);
  EXPECT_EQ(parsed->fileDigest, Sha256Of(file));
  EXPECT_EQ(parsed->weakSums, built.weakSums);
  EXPECT_EQ(FormatBlockIndex(*parsed), text);

  for (size_t size = 0; size < text.size(); ++size)
    EXPECT_FALSE(ParseBlockIndex(text.substr(0, size))) << size;
  auto withField = [&](size_t offset, std::string bytes) {
    return std::string(text).replace(offset, bytes.size(), bytes);
  };
  const struct {
    const char* what;
    std::string text;
  } refused[] = {
      {"trailing byte", text + "x"},
      {"magic", withField(0, "CRV3BLX")},
      {"version", withField(8, std::string("\2", 1))},
      {"one block more than the size", withField(12, std::string("\0\0\1\0", 4))},
      {"one block less than the size", withField(12, std::string("\0\0\2\0", 4))},
      {"block size not a power of two", withField(20, std::string("\x01", 1))},
      {"block size too small", withField(20, std::string("\0\x20\0\0", 4))},
      {"block size too large", withField(20, std::string("\0\0\0\x80", 4))},
      {"file too large", withField(12, std::string("\0\0\0\0\0\0\1\0", 8))},
      // Consistent, but with smaller blocks than the size calls for.
      {"more blocks than the count allows",
       withField(12, std::string("\1\0\0\0\1\0\0\0", 8)) +
           std::string(24 * (kMaxBlockCount + 1 - 6), '\0')},
  };
  for (const auto& c : refused) EXPECT_FALSE(ParseBlockIndex(c.text)) << c.what;
  EXPECT_TRUE(ParseBlockIndex(withField(12, std::string("\x01\x40\x01\0", 4))))
      << "any size of the same block count";
}

TEST(BlockIndexTest, BuilderRefusesBytesThatDoNotAddUpToTheSize) {
  BlockIndexBuilder shorter(kBlock + 1);
  shorter.Add(std::string(kBlock, 'a'));
  EXPECT_FALSE(shorter.Finish(Sha256Of("")));
  BlockIndexBuilder longer(kBlock);
  longer.Add(std::string(kBlock + 1, 'a'));
  EXPECT_FALSE(longer.Finish(Sha256Of("")));
}

TEST(BlockMatchTest, FindsBlocksWhereverTheHeldFileHasThem) {
  const std::string a = RandomBytes(kBlock, 2), b = RandomBytes(kBlock, 3),
                    c = RandomBytes(kBlock, 4), tail = RandomBytes(100, 5);
  const std::string fresh = RandomBytes(kBlock, 6);
  using Found = std::vector<std::optional<uint64_t>>;
  const std::optional<uint64_t> no;
  const struct {
    const char* what;
    std::string newFile, held;
    Found found;
  } cases[] = {
      {"unchanged", a + b + c + tail, a + b + c + tail, {0, kBlock, 2 * kBlock, 3 * kBlock}},
      {"shifted by 3", a + b + c + tail, "xyz" + a + b + c + tail,
       {3, 3 + kBlock, 3 + 2 * kBlock, 3 + 3 * kBlock}},
      {"reordered, one missing", a + b + c, c + fresh + a, {2 * kBlock, no, 0}},
      {"repeated blocks all found", a + b + a + a, b + "q" + a, {kBlock + 1, 0, kBlock + 1, kBlock + 1}},
      {"one byte changed", a + b + c, a + "!" + b.substr(1) + c, {0, no, 2 * kBlock}},
      {"last short block only at the end", a + tail, tail + a + tail + "z", {100, no}},
      {"only a short block", tail, "zz" + tail, {2}},
      {"last short block inside a found one", a + a.substr(kBlock - 100), a, {0, kBlock - 100}},
      {"held file shorter than a block", a + b, a.substr(1), {no, no}},
      {"empty held file", a + tail, "", {no, no}},
  };
  for (const auto& c : cases) {
    const BlockIndex index = IndexOf(c.newFile);
    for (size_t pieceSize : {c.held.size() + 1, size_t{1}, size_t{7777}})
      EXPECT_EQ(Match(index, c.held, pieceSize), c.found) << c.what << ", pieces of " << pieceSize;
  }
}

}  // namespace
