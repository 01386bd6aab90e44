#include "download/download_status.h"

#include <algorithm>

namespace {

constexpr uint64_t kWrap = uint64_t{1} << 32;

// done * 100 / total, truncated, without overflow for any 64-bit total; a
// total beyond 2^57 bytes loses a little precision, nothing else.
uint64_t PercentOf(uint64_t done, uint64_t total) {
  while (total > UINT64_MAX / 100) {
    total >>= 1;
    done >>= 1;
  }
  return std::min(done, total) * 100 / total;
}

}  // namespace

std::optional<uint64_t> DownloadProgress::Percentage(uint32_t progress, uint32_t progressMax,
                                                     bool lastReport) {
  if (progressMax == 0) return std::nullopt;
  const uint64_t percentage = MeasuresAgainstAnnouncedLength(progressMax)
                                  ? PercentOf(CarriedProgress(progress, lastReport),
                                              *announcedLength_)
                                  : PercentOf(progress, progressMax);
  shown_ = std::max(shown_, percentage);
  return shown_;
}

bool DownloadProgress::MeasuresAgainstAnnouncedLength(uint32_t progressMax) const {
  return announcedLength_ && *announcedLength_ != 0 && *announcedLength_ != progressMax;
}

uint64_t DownloadProgress::CarriedProgress(uint32_t progress, bool lastReport) {
  if (lastReport && progress == *announcedLength_ % kWrap) {
    carriedProgress_ = *announcedLength_;
    return carriedProgress_;
  }
  const uint64_t previous = carriedProgress_ % kWrap;
  // Reports of data as a rule come far more often than every 2 GB, so a
  // count that falls by more than half the range has wrapped; a smaller fall
  // is taken as no progress.
  if (progress < previous && previous - progress > kWrap / 2) {
    carriedProgress_ += kWrap;
  } else if (progress < previous) {
    return carriedProgress_;
  }
  carriedProgress_ = carriedProgress_ - previous + progress;
  return carriedProgress_;
}
