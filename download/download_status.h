// The figure that a download's progress reports are turned into.
#ifndef DOWNLOAD_DOWNLOAD_STATUS_H_
#define DOWNLOAD_DOWNLOAD_STATUS_H_

#include <cstdint>
#include <optional>

// The percentage shown for one file's transfer, from the platform's progress
// reports: bytes done and bytes expected, each a 32-bit count. It stays within
// 0 to 100 and never falls back within the file, so a body whose reported
// sizes mix compressed and decoded bytes, or whose total changes, cannot make
// the bar jump back. A body the platform cannot size in 32 bits (it reports
// 2^31 - 1 for any length from 2 GB up, and its byte count wraps at 4 GB) is
// measured against the length the answer announced, with the count carried
// across its wraps. Any other report shows progress * 100 / progressMax,
// which for a plain body below 2 GB is all it ever was.
//
// Wraps are told from the count alone, which fails when two reports lie 4 GB
// or more apart: the platform may read a body that arrives faster than it is
// consumed in one go and report only its start and its end. The end is then
// known from the report that ends the body, whose count the announced length
// matches in its low 32 bits when the whole body came.
class DownloadProgress {
 public:
  // The length of the body as the answer's headers announced it, when they
  // did and named no content coding.
  void SetAnnouncedLength(std::optional<uint64_t> length) { announcedLength_ = length; }

  // The percentage to show for one report, or nothing when the platform
  // reports no size (progressMax 0): an unsized body moves nothing.
  // lastReport: the report that ends the body.
  std::optional<uint64_t> Percentage(uint32_t progress, uint32_t progressMax, bool lastReport);

 private:
  // True when the announced length, not progressMax, is the body's size.
  bool MeasuresAgainstAnnouncedLength(uint32_t progressMax) const;
  // The 64-bit count of bytes done, carrying the 32-bit count across wraps.
  uint64_t CarriedProgress(uint32_t progress, bool lastReport);

  std::optional<uint64_t> announcedLength_;
  uint64_t carriedProgress_ = 0;
  uint64_t shown_ = 0;
};

#endif  // DOWNLOAD_DOWNLOAD_STATUS_H_
