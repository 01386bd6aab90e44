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
  bool lackedDiskRoom = false;     // stopped early: the drives could not hold the body
  std::u16string cacheFile;        // the platform's cache file of the body, once named
};

// True when an HTTP answer was seen, the transfer was not stopped for lack
// of disk room, and IsWholeBody (base/http_answer.h)
// takes the stored body, the progress report standing in for a length the
// headers lack.
[[nodiscard]] bool IsWholeSuccessfulBody(const DownloadResponse& response, uint64_t storedSize);

#endif  // DOWNLOAD_DOWNLOAD_RESPONSE_H_
