#include "publish/progress.h"

#include <cstdio>

namespace {

constexpr size_t kProgressEveryFiles = 250;
constexpr uint64_t kProgressEveryBytes = 64ull << 20;

double Megabytes(uint64_t bytes) { return bytes / 1048576.0; }

}  // namespace

Progress::Progress(const char* doing, size_t totalFiles, std::optional<uint64_t> totalBytes,
                   const ProgressLine& line)
    : doing_(doing), totalFiles_(totalFiles), totalBytes_(totalBytes), line_(line),
      shown_(totalFiles > kProgressEveryFiles || totalBytes.value_or(0) > kProgressEveryBytes) {}

void Progress::Done(uint64_t size) {
  ++files_;
  bytes_ += size;
  if (!shown_) return;
  if (files_ - lastFiles_ < kProgressEveryFiles && bytes_ - lastBytes_ < kProgressEveryBytes &&
      files_ != totalFiles_) {
    return;
  }
  lastFiles_ = files_;
  lastBytes_ = bytes_;
  char text[160];
  if (totalBytes_) {
    std::snprintf(text, sizeof text, "%s: %zu of %zu files, %.1f of %.1f MB", doing_, files_,
                  totalFiles_, Megabytes(bytes_), Megabytes(*totalBytes_));
  } else {
    std::snprintf(text, sizeof text, "%s: %zu of %zu files, %.1f MB", doing_, files_,
                  totalFiles_, Megabytes(bytes_));
  }
  line_(text);
}
