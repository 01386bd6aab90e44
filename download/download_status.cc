#include "download/download_status.h"

#include <string>

namespace {

std::u16string DecimalText(uint64_t number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

uint64_t DownloadPercentage(uint32_t progress, uint32_t progressMax) {
  return uint64_t{progress} * 100 / progressMax;
}

std::u16string DownloadStatusText(const std::u16string& name, uint64_t percentage) {
  return u"다운로드 중: " + name + u" (" + DecimalText(percentage) + u"%)";
}
