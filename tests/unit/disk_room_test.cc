#include "download/disk_room.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(CanHoldBodyTest, NeedsTheCacheCopyAndTheStagedCopy) {
  constexpr uint64_t kGb = uint64_t{1} << 30;
  struct Case {
    const char* label;
    uint64_t length;
    DriveRoom cache;
    DriveRoom staging;
    bool holds;
  };
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
    EXPECT_EQ(CanHoldBody(c.length, c.cache, c.staging), c.holds) << c.label;
  }
}

}  // namespace
