#include "download/disk_room.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// bytes: the body's length, or what of it the cache holds.
struct Case {
  const char* label;
  uint64_t bytes;
  DriveRoom cache;
  DriveRoom staging;
  bool holds;
};

TEST(CanHoldBodyTest, NeedsTheCacheCopyAndTheStagedCopy) {
  constexpr uint64_t kGb = uint64_t{1} << 30;
  const Case cases[] = {
      {"one drive, room for both", 4 * kGb, {u"C:\\", 8 * kGb}, {u"C:\\", 8 * kGb}, true},
      {"one drive, room for one", 4 * kGb, {u"C:\\", 8 * kGb - 1}, {u"C:\\", 8 * kGb - 1},
       false},
      {"root in another case is the same drive", 4 * kGb, {u"c:\\", 6 * kGb}, {u"C:\\", 6 * kGb},
       false},
      {"two drives, each holds one", 4 * kGb, {u"D:\\", 4 * kGb}, {u"C:\\", 4 * kGb}, true},
      {"two drives, the cache's too small", 4 * kGb, {u"D:\\", kGb}, {u"C:\\", 9 * kGb}, false},
      {"two drives, the staging one too small", 4 * kGb, {u"D:\\", 9 * kGb}, {u"C:\\", kGb},
       false},
      {"empty body", 0, {u"C:\\", 0}, {u"C:\\", 0}, true},
      {"length near 2^64 does not wrap", UINT64_MAX / 2 + 1, {u"C:\\", UINT64_MAX},
       {u"C:\\", UINT64_MAX}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CanHoldBody(c.bytes, c.cache, c.staging), c.holds) << c.label;
  }
}

TEST(CanHoldGrowingBodyTest, KeepsTheMarginBeyondAStagedCopyOfWhatCame) {
  constexpr uint64_t kMb = uint64_t{1} << 20;
  constexpr uint64_t kMargin = kGrowingBodyMargin;
  const Case cases[] = {
      {"one drive, copy and margin fit", 100 * kMb, {u"C:\\", 100 * kMb + kMargin},
       {u"C:\\", 100 * kMb + kMargin}, true},
      {"one drive, a byte short", 100 * kMb, {u"C:\\", 100 * kMb + kMargin - 1},
       {u"C:\\", 100 * kMb + kMargin - 1}, false},
      {"two drives, each keeps its part", 100 * kMb, {u"D:\\", kMargin},
       {u"C:\\", 100 * kMb + kMargin}, true},
      {"two drives, the cache's nearly full", 100 * kMb, {u"D:\\", kMargin - 1},
       {u"C:\\", 9000 * kMb}, false},
      {"two drives, the staging one too small", 100 * kMb, {u"D:\\", 9000 * kMb},
       {u"C:\\", 100 * kMb + kMargin - 1}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CanHoldGrowingBody(c.bytes, c.cache, c.staging), c.holds) << c.label;
  }
}

}  // namespace
