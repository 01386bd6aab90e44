#include "download/download_status.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "download/download_response.h"
#include "ui/progress_texts.h"

namespace {

TEST(DownloadPercentageTest, IsExactForEveryThirtyTwoBitCount) {
  struct Case {
    uint32_t progress;
    uint32_t progressMax;
    uint64_t percentage;
  };
  const Case cases[] = {
      {0, 1000, 0},
      {1, 3, 33},  // truncated
      {2, 3, 66},
      {50'000'000, 100'000'000, 50},
      {3'000'000'000u, 3'000'000'000u, 100},  // the product needs 64 bits
      {4'294'967'295u, 4'294'967'295u, 100},
      {150, 100, 150},  // more than announced is not clamped
      {4'294'967'295u, 1, 429'496'729'500u},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DownloadPercentage(c.progress, c.progressMax), c.percentage)
        << c.progress << " of " << c.progressMax;
  }
}

TEST(DownloadStatusTextTest, ShowsNameAndPercentage) {
  EXPECT_EQ(DownloadStatusText(u"data/a.dat", 42), u"다운로드 중: data/a.dat (42%)");
  EXPECT_EQ(DownloadStatusText(u"한글.txt", 0), u"다운로드 중: 한글.txt (0%)");
  EXPECT_EQ(DownloadStatusText(u"a", 150), u"다운로드 중: a (150%)");
  EXPECT_EQ(DownloadStatusText(u"a", 429'496'729'500u), u"다운로드 중: a (429496729500%)");
}

DownloadResponse Response(uint32_t status, std::u16string headers, uint32_t lastAnnouncedSize = 0) {
  DownloadResponse response;
  response.httpStatus = status;
  response.headers = std::move(headers);
  response.lastAnnouncedSize = lastAnnouncedSize;
  return response;
}

TEST(DownloadResponseTest, OnlyHttpSuccessCounts) {
  const std::u16string headers = u"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n";
  EXPECT_TRUE(IsWholeSuccessfulBody(Response(200, headers), 10));
  EXPECT_TRUE(IsWholeSuccessfulBody(Response(204, u""), 0));
  EXPECT_TRUE(IsWholeSuccessfulBody(Response(299, u""), 0));
  // No answer seen at all (connection failed, or not an HTTP URL).
  EXPECT_FALSE(IsWholeSuccessfulBody(Response(0, u""), 10));
  EXPECT_FALSE(IsWholeSuccessfulBody(Response(199, u""), 0));
  EXPECT_FALSE(IsWholeSuccessfulBody(Response(302, u""), 0));
  // Error pages are stored like any body; they must not pass as the file.
  EXPECT_FALSE(IsWholeSuccessfulBody(Response(404, u"Content-Length: 22\r\n"), 22));
  EXPECT_FALSE(IsWholeSuccessfulBody(Response(500, u"Content-Length: 4\r\n"), 4));
}

TEST(DownloadResponseTest, StoredSizeMustMatchAnnouncedLength) {
  struct Case {
    const char* label;
    std::u16string headers;
    uint32_t lastAnnouncedSize;
    uint64_t storedSize;
    bool whole;
  };
  const Case cases[] = {
      {"cut short", u"HTTP/1.1 200 OK\r\nContent-Length: 10240\r\n\r\n", 10240, 5000, false},
      {"longer than announced", u"Content-Length: 10\r\n", 10, 11, false},
      {"name in any case, spaces around", u"content-LENGTH:   10 \r\n", 0, 10, true},
      {"header wins over progress", u"Content-Length: 10\r\n", 7, 10, true},
      {"large file", u"Content-Length: 5000000000\r\n", 0, 5'000'000'000u, true},
      {"no length: chunked or closed", u"Transfer-Encoding: chunked\r\n", 0, 123, true},
      {"progress when headers lack it", u"", 100, 99, false},
      {"progress when headers lack it, whole", u"", 100, 100, true},
      {"coded body is stored decoded", u"Content-Encoding: gzip\r\nContent-Length: 10\r\n", 10,
       40, true},
      {"identity coding keeps the check", u"Content-Encoding: identity\r\nContent-Length: 10\r\n",
       0, 9, false},
      {"other header ending in the name", u"X-Content-Length: 10\r\n", 0, 9, true},
      {"last line without line end", u"Server: x\r\nContent-Length: 10", 0, 9, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsWholeSuccessfulBody(Response(200, c.headers, c.lastAnnouncedSize), c.storedSize),
              c.whole)
        << c.label;
  }
}

}  // namespace
