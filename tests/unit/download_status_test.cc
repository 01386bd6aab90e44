#include "download/download_status.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "download/download_response.h"
#include "ui/progress_texts.h"

namespace {

// One file's reports in order, as (progress, progressMax) pairs the platform
// gives in 32 bits, and the percentage shown after each (-1: nothing shown);
// last marks the report that ends the body.
struct Report {
  uint32_t progress;
  uint32_t progressMax;
  int64_t shown;
  bool last = false;
};

constexpr uint32_t kPlatformMax = 2'147'483'647;  // what Wine reports from 2 GB up
constexpr uint64_t kLarge = 4'563'402'752;          // 2^32 + 2^28

TEST(DownloadProgressTest, StaysWithinZeroToHundredAndNeverFallsBack) {
  struct Case {
    const char* label;
    std::optional<uint64_t> announcedLength;  // plain body's Content-Length
    std::vector<Report> reports;
  };
  const Case cases[] = {
      {"plain body, as the platform reports it", 10'240,
       {{0, 0, -1}, {8192, 10'240, 80}, {10'240, 10'240, 100}}},
      {"truncated, product in 64 bits", 3, {{1, 3, 33}, {2, 3, 66}}},
      {"just below 2 GB", kPlatformMax,
       {{1'073'741'823, kPlatformMax, 49}, {kPlatformMax, kPlatformMax, 100}}},
      {"unknown size moves nothing", {}, {{0, 0, -1}, {50'000, 0, -1}}},
      {"unknown length, exact for any 32-bit size", {},
       {{3'000'000'000u, 3'000'000'000u, 100}}},
      {"between 2 and 4 GB: the platform's 2^31 - 1 is not the size", 3'000'000'000u,
       {{1'500'000'000, kPlatformMax, 50}, {3'000'000'000u, kPlatformMax, 100}}},
      {"past 4 GB, carried across the wrap", kLarge,
       {{8192, kPlatformMax, 0},
        {1'469'701'878, kPlatformMax, 32},
        {4'000'000'000u, kPlatformMax, 87},
        {100'000'000, kPlatformMax, 96},  // 2^32 + 10^8 done
        {268'435'456, kPlatformMax, 100}}},
      {"past 4 GB read in one go: only its start and its end reported", kLarge,
       {{0, kPlatformMax, 0}, {268'435'456, kPlatformMax, 100, true}}},
      {"a body that ends short of its length is not complete", kLarge,
       {{0, kPlatformMax, 0}, {268'435'455, kPlatformMax, 5, true}}},
      {"exactly 4 GB ends on a wrapped 0", uint64_t{1} << 32,
       {{4'294'000'000u, kPlatformMax, 99}, {0, kPlatformMax, 100}}},
      {"twice round", 10'000'000'000u,
       {{4'000'000'000u, kPlatformMax, 40}, {100, kPlatformMax, 42},
        {4'000'000'000u, kPlatformMax, 82}, {1'410'065'408, kPlatformMax, 100}}},
      {"a small fall is no wrap", kLarge,
       {{3'000'000'000u, kPlatformMax, 65}, {2'900'000'000u, kPlatformMax, 65},
        {3'100'000'000u, kPlatformMax, 67}}},
      {"no report past the length shows more than 100", kLarge,
       {{4'000'000'000u, kPlatformMax, 87}, {300'000'000, kPlatformMax, 100}}},
      {"size not yet reported", kLarge, {{0, 0, -1}, {8192, kPlatformMax, 0}}},
      {"decoded bytes beyond the coded size", {},
       {{800, 1000, 80}, {1500, 1000, 100}, {2500, 1000, 100}}},
      {"more than a plain length announced", 100, {{150, 100, 100}}},
      {"decoded body smaller than coded", {},
       {{300, 1000, 30}, {400, 1000, 40}, {500, 1000, 50}}},
      {"total grows mid-file", {}, {{500, 1000, 50}, {600, 2000, 50}, {2000, 2000, 100}}},
      {"total shrinks mid-file", {}, {{500, 2000, 25}, {500, 1000, 50}, {400, 1000, 50}}},
      {"count starts again", 1000, {{800, 1000, 80}, {100, 1000, 80}, {900, 1000, 90}}},
      {"count wraps without a long length", {},
       {{4'294'967'295u, 4'294'967'295u, 100}, {5, 4'294'967'295u, 100}}},
      {"length beyond 2^57 bytes", uint64_t{1} << 62,
       {{0, kPlatformMax, 0}, {4'294'967'295u, kPlatformMax, 0}}},
  };
  for (const Case& c : cases) {
    DownloadProgress progress;
    progress.SetAnnouncedLength(c.announcedLength);
    for (size_t k = 0; k < c.reports.size(); ++k) {
      const Report& r = c.reports[k];
      const std::optional<uint64_t> shown = progress.Percentage(r.progress, r.progressMax, r.last);
      EXPECT_EQ(shown ? static_cast<int64_t>(*shown) : -1, r.shown) << c.label << ", report " << k;
    }
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
  DownloadResponse stopped = Response(200, u"Content-Length: 10\r\n");
  stopped.lackedDiskRoom = true;
  EXPECT_FALSE(IsWholeSuccessfulBody(stopped, 10));
}

}  // namespace
