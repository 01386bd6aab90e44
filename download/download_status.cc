#include "download/download_status.h"

uint64_t DownloadPercentage(uint32_t progress, uint32_t progressMax) {
  return uint64_t{progress} * 100 / progressMax;
}
