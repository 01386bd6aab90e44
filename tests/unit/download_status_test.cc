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

TEST(DownloadResponseTest, NeedsAnHttpAnswerAndTheReportedSize) {
  // No answer seen at all (connection failed, or not an HTTP URL).
  EXPECT_FALSE(IsWholeSuccessfulBody(Response(0, u""), 10));
  EXPECT_TRUE(IsWholeSuccessfulBody(Response(200, u"", 10), 10));
  EXPECT_FALSE(IsWholeSuccessfulBody(Response(200, u"", 10), 9));
  EXPECT_FALSE(IsWholeSuccessfulBody(Response(404, u""), 0));
}

}  // namespace
