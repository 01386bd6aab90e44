// What a download learned about the server's answer, and whether the stored
// body can be trusted to be the whole of a successful answer.
#ifndef DOWNLOAD_DOWNLOAD_RESPONSE_H_
#define DOWNLOAD_DOWNLOAD_RESPONSE_H_

#include <cstdint>
#include <string>

struct DownloadResponse {
  uint32_t httpStatus = 0;         // 0 when no HTTP answer was seen
  std::u16string headers;          // the raw response headers, lines ended by "\r\n"
  uint32_t lastAnnouncedSize = 0;  // the last non-zero bytes-expected progress report
};

// True when the answer was an HTTP success (2xx) and storedSize matches the
// body length the server announced, if it announced one.
[[nodiscard]] bool IsWholeSuccessfulBody(const DownloadResponse& response, uint64_t storedSize);

#endif  // DOWNLOAD_DOWNLOAD_RESPONSE_H_
