#include "download/download_response.h"

#include "base/http_answer.h"

bool IsWholeSuccessfulBody(const DownloadResponse& response, uint64_t storedSize) {
  if (response.httpStatus == 0 || response.lackedDiskRoom) return false;
  HttpAnswer answer{response.httpStatus, response.headers, std::nullopt};
  if (response.lastAnnouncedSize != 0) answer.reportedLength = response.lastAnnouncedSize;
  return IsWholeBody(answer, storedSize);
}
