// The block search on a 1 GB file: index build time, then the search's CPU
// time for an unchanged copy, for 1% changed in 100 places and for 1 MB
// inserted at the front, each next to one SHA-256 pass over the same bytes.
// The files are generated in pieces, never held whole, so peak RSS shows the
// search's own memory.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <random>
#include <string>

#include "base/sha256.h"
#include "lists/block_index.h"
#include "lists/block_match.h"

namespace {

constexpr uint64_t kFileSize = uint64_t{1} << 30;
constexpr size_t kPiece = size_t{1} << 20;

using Sink = std::function<void(std::string_view)>;

// Byte i of the "old" file, made a piece at a time from a seeded generator.
void OldFile(uint64_t from, uint64_t to, const Sink& sink) {
  std::string piece(kPiece, '\0');
  for (uint64_t at = from / kPiece * kPiece; at < to; at += kPiece) {
    std::mt19937_64 random(at);
    for (size_t i = 0; i < kPiece; i += 8) {
      const uint64_t value = random();
      std::memcpy(&piece[i], &value, 8);
    }
    const uint64_t begin = std::max(at, from), end = std::min(at + kPiece, to);
    sink(std::string_view(piece).substr(begin - at, end - begin));
  }
}

// The old file with 100 stretches of 1% / 100 bytes each overwritten.
void ChangedFile(const Sink& sink) {
  constexpr uint64_t kStretch = kFileSize / 100 / 100;
  const std::string changed(kStretch, '\x5a');
  const uint64_t step = kFileSize / 100;
  for (uint64_t at = 0; at < 100 * step; at += step) {
    OldFile(at, at + step - kStretch, sink);
    sink(changed);
  }
}

void InsertedFile(const Sink& sink) {
  sink(std::string(kPiece, '\x11'));
  OldFile(0, kFileSize, sink);
}

double CpuSeconds(const std::function<void()>& work) {
  const std::clock_t start = std::clock();
  work();
  return double(std::clock() - start) / CLOCKS_PER_SEC;
}

// Times the generator alone so that it can be taken off both figures.
double GenerateSeconds(const std::function<void(const Sink&)>& file) {
  return CpuSeconds([&] { file([](std::string_view) {}); });
}

void Report(const char* name, const BlockIndex& index,
            const std::function<void(const Sink&)>& heldFile) {
  const double generate = GenerateSeconds(heldFile);
  BlockMatcher matcher(index);
  const double search = CpuSeconds([&] {
    heldFile([&](std::string_view piece) { matcher.Add(piece); });
    matcher.Finish();
  }) - generate;
  Sha256Hasher hasher;
  const double hash = CpuSeconds([&] {
    heldFile([&](std::string_view piece) { hasher.Add(piece); });
    hasher.Finish();
  }) - generate;
  size_t found = 0;
  for (const auto& offset : matcher.found()) found += offset.has_value();
  std::printf("%-10s search %6.2f s  sha256 %6.2f s  ratio %5.2f  blocks found %zu/%zu\n",
              name, search, hash, search / hash, found, matcher.found().size());
}

}  // namespace

int main() {
  BlockIndexBuilder builder(kFileSize);
  Sha256Hasher fileHasher;
  const double build = CpuSeconds([&] {
    OldFile(0, kFileSize, [&](std::string_view piece) {
      builder.Add(piece);
      fileHasher.Add(piece);
    });
  }) - GenerateSeconds([](const Sink& sink) { OldFile(0, kFileSize, sink); });
  const std::optional<BlockIndex> index = builder.Finish(fileHasher.Finish());
  if (!index) return 1;
  std::printf("index of 1 GB: %zu blocks of %u bytes, %zu bytes, built in %.2f s CPU\n",
              index->weakSums.size(), index->blockSize, FormatBlockIndex(*index).size(), build);

  Report("unchanged", *index, [](const Sink& sink) { OldFile(0, kFileSize, sink); });
  Report("1% in 100", *index, ChangedFile);
  Report("+1 MB", *index, InsertedFile);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak RSS %.1f MB\n", usage.ru_maxrss / 1024.0);
  return 0;
}
