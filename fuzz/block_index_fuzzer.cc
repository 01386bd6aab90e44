// The block index reader and the block search on any bytes. A parsed index
// formats back to the very bytes it came from. The search, run over the
// input against the parsed index and against an index of a file made from the
// input, only reports blocks that lie inside the held bytes and, for the
// made file, that really hold the block's bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/sha256.h"
#include "fuzz/fuzz_text.h"
#include "lists/block_index.h"
#include "lists/block_match.h"

namespace {

std::vector<std::optional<uint64_t>> Search(const BlockIndex& index,
                                            std::string_view held,
                                            size_t pieceSize) {
  BlockMatcher matcher(index);
  for (size_t at = 0; at < held.size(); at += pieceSize)
    matcher.Add(held.substr(at, pieceSize));
  matcher.Finish();
  return matcher.found();
}

std::string Repeated(std::string_view text, size_t size) {
  std::string out;
  while (!text.empty() && out.size() < size) out.append(text);
  out.resize(std::min(out.size(), size));
  return out;
}

void CheckSearchOfMadeFile(std::string_view text, size_t pieceSize) {
  // A new file of 1.5 blocks from the input; the held one is the same
  // without its first byte, so blocks occur at other offsets. Both stay
  // small: every held byte costs a roll.
  const std::string newFile = Repeated(text, kMinBlockSize * 3 / 2);
  const std::string held = newFile.empty() ? "" : newFile.substr(1);
  BlockIndexBuilder builder(newFile.size());
  builder.Add(newFile);
  const std::optional<BlockIndex> index = builder.Finish(Sha256Of(newFile));
  Require(index.has_value(), "an index of any file");
  const auto found = Search(*index, held, pieceSize);
  Require(found.size() == index->weakSums.size(), "one result per block");
  for (size_t block = 0; block < found.size(); ++block) {
    if (!found[block]) continue;
    const std::string_view bytes =
        std::string_view(newFile).substr(block * index->blockSize, index->blockSize);
    Require(*found[block] + bytes.size() <= held.size(), "found inside the held file");
    Require(held.compare(*found[block], bytes.size(), bytes) == 0,
            "found where the block's bytes are");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = AsText(data, size);
  // The first byte sets the piece size, so that buffering across pieces is
  // searched as well.
  const size_t pieceSize = size ? data[0] * 97 + 1 : 1;

  if (const std::optional<BlockIndex> index = ParseBlockIndex(text)) {
    Require(FormatBlockIndex(*index) == text, "an index formats back to its bytes");
    for (const auto& offset : Search(*index, text, pieceSize))
      Require(!offset || *offset + index->blockSize <= text.size() ||
                  *offset + index->fileSize % index->blockSize == text.size(),
              "found inside the held file");
  }
  CheckSearchOfMadeFile(text, pieceSize);
  return 0;
}
