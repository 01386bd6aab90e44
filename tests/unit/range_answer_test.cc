#include "download/range_answer.h"

#include <gtest/gtest.h>

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;

TEST(RangePiecesTest, CoverTheSpanInPiecesOfAtMost16MiBWithTheirHeaders) {
  EXPECT_TRUE(PiecesOf(5, 5).empty());
  const std::vector<ByteRange> pieces = PiecesOf(100, 100 + 33 * kMiB);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].first, 100u);
  EXPECT_EQ(pieces[0].Length(), 16 * kMiB);
  EXPECT_EQ(pieces[1].first, pieces[0].last + 1);
  EXPECT_EQ(pieces[2].last, 100 + 33 * kMiB - 1);
  EXPECT_EQ(RangeRequestHeaders({100, 199}, u""), u"Range: bytes=100-199\r\n");
  EXPECT_EQ(RangeRequestHeaders({0, 0}, u"\"a|b\""),
            u"Range: bytes=0-0\r\nIf-Range: \"a|b\"\r\n");
  EXPECT_EQ(ValidatorOf(u"Last-Modified: Tue\r\netag: \"x\"\r\n"), u"\"x\"");
  EXPECT_EQ(ValidatorOf(u"Last-Modified: Tue\r\n"), u"Tue");
}

// The answer to "bytes=100-199" of a file of 1000 bytes whose earlier pieces
// came with the ETag "v1".
TEST(JudgePieceAnswerTest, AppendsOnlyTheAskedBytesOfTheSameFile) {
  struct Case {
    const char* label;
    uint32_t status;
    std::u16string headers;
    PieceVerdict verdict;
  };
  const Case cases[] = {
      {"fits", 206, u"Content-Range: bytes 100-199/1000\r\nETag: \"v1\"\r\n", PieceVerdict::kFits},
      {"identity coding fits", 206,
       u"Content-Encoding: identity\r\nContent-Range: bytes 100-199/1000\r\nETag: \"v1\"\r\n",
       PieceVerdict::kFits},
      {"server ignores Range", 200, u"ETag: \"v1\"\r\n", PieceVerdict::kWholeBody},
      {"If-Range failed: the new file whole", 200, u"ETag: \"v2\"\r\n", PieceVerdict::kWholeBody},
      {"other validator", 206, u"Content-Range: bytes 100-199/1000\r\nETag: \"v2\"\r\n",
       PieceVerdict::kStartOver},
      {"no validator", 206, u"Content-Range: bytes 100-199/1000\r\n", PieceVerdict::kStartOver},
      {"other total", 206, u"Content-Range: bytes 100-199/1001\r\nETag: \"v1\"\r\n",
       PieceVerdict::kStartOver},
      {"other start", 206, u"Content-Range: bytes 0-99/1000\r\nETag: \"v1\"\r\n",
       PieceVerdict::kStartOver},
      {"shorter", 206, u"Content-Range: bytes 100-150/1000\r\nETag: \"v1\"\r\n",
       PieceVerdict::kStartOver},
      {"unknown total", 206, u"Content-Range: bytes 100-199/*\r\nETag: \"v1\"\r\n",
       PieceVerdict::kStartOver},
      {"end beyond total", 206, u"Content-Range: bytes 100-199/150\r\nETag: \"v1\"\r\n",
       PieceVerdict::kStartOver},
      {"no Content-Range", 206, u"ETag: \"v1\"\r\n", PieceVerdict::kStartOver},
      {"gzip coded", 206,
       u"Content-Encoding: gzip\r\nContent-Range: bytes 100-199/1000\r\nETag: \"v1\"\r\n",
       PieceVerdict::kStartOver},
      {"file now shorter than the staged bytes", 416, u"Content-Range: bytes */90\r\n",
       PieceVerdict::kStartOver},
      {"not found", 404, u"", PieceVerdict::kFailed},
  };
  for (const Case& c : cases) {
    const PieceAnswer answer = JudgePieceAnswer(c.status, c.headers, {100, 199}, 1000, u"\"v1\"");
    EXPECT_EQ(answer.verdict, c.verdict) << c.label;
  }
  const PieceAnswer first = JudgePieceAnswer(
      206, u"Content-Range: bytes 0-99/1000\r\nLast-Modified: Tue\r\n", {0, 99}, {}, u"");
  EXPECT_EQ(first.verdict, PieceVerdict::kFits);
  EXPECT_EQ(first.total, 1000u);
  EXPECT_EQ(first.validator, u"Tue");
  // A first piece asked beyond the end of a small file.
  const std::u16string small = u"Content-Range: bytes 0-9/10\r\nETag: \"s\"\r\n";
  EXPECT_EQ(JudgePieceAnswer(206, small, {0, 99}, {}, u"").verdict, PieceVerdict::kFits);
  EXPECT_EQ(FileLengthOf(small), 10u);
  EXPECT_EQ(FileLengthOf(u"Content-Length: 7\r\n"), 7u);
  EXPECT_EQ(FileLengthOf(u"Content-Range: bytes 0-9/*\r\nContent-Length: 10\r\n"), std::nullopt);
}

TEST(PartialJournalTest, ResumesOnlyTheSameStagedFileAndReleaseWithItsBytes) {
  const PartialEntry partial{u"sub\\a.dll.crv3part", 300, 1000, "1.0|ab\r\n", u"\"e|t\""};
  const std::vector<OwnedFile> journal =
      WithPartial({{"aside", "moving", "x.crv3old"}}, partial.stagedPath, partial);
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[1].rest.find_first_of("\r\n"), std::string::npos);
  const auto parsed = ParseOwnedFiles(FormatOwnedFiles(journal));
  ASSERT_TRUE(parsed);
  const auto back = PartialEntryOf((*parsed)[1]);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->release, partial.release);
  EXPECT_EQ(back->validator, partial.validator);
  EXPECT_EQ(back->heldBytes, 300u);

  const auto resumed = PartialToResume(*parsed, u"SUB\\A.dll.crv3part", "1.0|ab\r\n", 400);
  ASSERT_TRUE(resumed);
  EXPECT_EQ(resumed->heldBytes, 300u);
  EXPECT_FALSE(PartialToResume(*parsed, u"sub\\a.dll.crv3part", "1.1", 400));
  EXPECT_FALSE(PartialToResume(*parsed, u"sub\\b.dll.crv3part", "1.0|ab\r\n", 400));
  EXPECT_FALSE(PartialToResume(*parsed, u"sub\\a.dll.crv3part", "1.0|ab\r\n", 299));

  EXPECT_EQ(WithPartial(*parsed, u"sub\\A.DLL.crv3part", std::nullopt).size(), 1u);
  for (const char* rest : {"..\\a.crv3part|1|2||", "a.dll|1|2||", "a.crv3part|3|2||",
                           "a.crv3part|1|2|zz|", "a.crv3part|1|2|", "a.crv3part|x|2||"}) {
    EXPECT_FALSE(PartialEntryOf({"partial", "kept", rest})) << rest;
  }
}

TEST(FetchProgressTest, CountsOnlyThisCallsBytesAndNeverFallsBack) {
  FetchProgress progress(400);
  EXPECT_EQ(progress.DuringPiece(200, 50), 25u);
  EXPECT_EQ(progress.DuringPiece(200, 10), 25u);
  EXPECT_EQ(progress.PieceDone(200), 50u);
  // A last piece asked longer than the 200 bytes left of the file.
  EXPECT_EQ(progress.DuringPiece(1000, 50), 75u);
  EXPECT_EQ(progress.DuringPiece(200, 250), 100u);
  EXPECT_EQ(progress.PieceDone(400), 100u);
  EXPECT_EQ(progress.Shown(), 100u);
  EXPECT_EQ(FetchProgress(0).PieceDone(0), 100u);
  FetchProgress unsized(std::nullopt);
  EXPECT_EQ(unsized.DuringPiece(100, 40), 40u);
  unsized.SetBytesToFetch(1000);
  EXPECT_EQ(unsized.PieceDone(100), 40u);
  EXPECT_EQ(unsized.PieceDone(400), 50u);
  unsized.StartAgain();
  EXPECT_EQ(unsized.DuringPiece(100, 30), 50u);
  unsized.SetBytesToFetch(100);
  EXPECT_EQ(unsized.PieceDone(70), 70u);
}

}  // namespace
