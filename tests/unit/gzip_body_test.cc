// The .gz bodies: the same bytes on every host and every run, and a check
// that accepts only a .gz holding exactly the file's bytes. (Windows' URL
// services decode them in tests/wine/test_nginx.py.)
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "publish/gzip_body.h"

namespace {

bool DecodesTo(const std::string& gz, const std::string& plain) {
  std::istringstream gzStream(gz), plainStream(plain);
  return GzipDecodesTo(gzStream, plainStream);
}

// Bytes that compress (repeats) and bytes that do not (a simple generator),
// larger than one 64 KB piece of the stream.
std::string Mixed() {
  std::string bytes;
  uint32_t state = 12345;
  for (int i = 0; i < 300000; ++i) {
    state = state * 1103515245u + 12345u;
    bytes += i % 3 == 0 ? static_cast<char>(state >> 24) : static_cast<char>('a' + i % 7);
  }
  return bytes;
}

TEST(GzipBodyTest, SameBytesGiveTheSameGzipWithNoNameTimeOrHost) {
  const std::string plain = Mixed();
  const std::string gz = GzipOf(plain);

  EXPECT_EQ(GzipOf(plain), gz);
  ASSERT_GT(gz.size(), 10u);
  // ID1 ID2 CM=deflate FLG=0 (no name, comment, extra) MTIME=0 XFL=2 (best) OS=255.
  EXPECT_EQ(gz.substr(0, 10), std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\xff", 10));
  EXPECT_TRUE(DecodesTo(gz, plain));
  EXPECT_LT(gz.size(), plain.size() * 6 / 10);
}

TEST(GzipBodyTest, OnlyAGzipOfExactlyTheFileFits) {
  const std::string plain = Mixed();
  const std::string gz = GzipOf(plain);
  std::string flipped = gz;
  flipped[gz.size() / 2] ^= 1;
  struct Case {
    const char* what;
    std::string gz, plain;
    bool fits;
  } cases[] = {
      {"its own gzip", gz, plain, true},
      {"empty file", GzipOf(""), "", true},
      {"file one byte longer", gz, plain + "x", false},
      {"file one byte shorter", gz, plain.substr(1), false},
      {"file with one byte changed", gz, "b" + plain.substr(1), false},
      {"a gzip cut short", gz.substr(0, gz.size() - 1), plain, false},
      {"a byte changed in the gzip", flipped, plain, false},
      {"a byte after the gzip", gz + std::string(1, '\0'), plain, false},
      {"a second member", gz + GzipOf(""), plain, false},
      {"not a gzip", plain, plain, false},
      {"nothing", "", "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodesTo(c.gz, c.plain), c.fits) << c.what;
  }
}

TEST(GzipBodyTest, WorthServingFromATenthSavedUp) {
  EXPECT_TRUE(GzipSavesEnough(90, 100));
  EXPECT_FALSE(GzipSavesEnough(91, 100));
  EXPECT_FALSE(GzipSavesEnough(14, 15));  // 1 byte saved is less than a tenth of 15
  EXPECT_FALSE(GzipSavesEnough(20, 0));
}

}  // namespace
