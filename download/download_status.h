// The figure that a download's progress reports are turned into.
#ifndef DOWNLOAD_DOWNLOAD_STATUS_H_
#define DOWNLOAD_DOWNLOAD_STATUS_H_

#include <cstdint>

// progress * 100 / progressMax, truncated, with the product formed in 64 bits
// so that it is exact for every 32-bit count. Not clamped: more bytes than
// announced give more than 100. progressMax must not be 0.
uint64_t DownloadPercentage(uint32_t progress, uint32_t progressMax);

#endif  // DOWNLOAD_DOWNLOAD_STATUS_H_
