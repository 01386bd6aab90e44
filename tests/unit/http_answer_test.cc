#include "base/http_answer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// One table for the list and every file: the status, the headers as the
// platform hands them over, what it reported apart from them, the size of the
// stored (decoded) body, and whether that body is taken.
TEST(IsWholeBodyTest, TakesEveryWholeBodyAndNoPlainBodyCutShort) {
  struct Case {
    const char* label;
    std::optional<uint32_t> status;
    std::u16string headers;
    std::optional<uint64_t> reportedLength;
    uint64_t storedSize;
    bool taken;
  };
  const Case cases[] = {
      {"whole", 200, u"HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n", {}, 12, true},
      {"empty 204", 204, u"", {}, 0, true},
      {"299", 299, u"", {}, 0, true},
      {"status not told", {}, u"", {}, 5, true},
      {"no length: chunked or closed", 200, u"Transfer-Encoding: chunked\r\n", {}, 123, true},
      // The platform stores error pages and redirects like bodies.
      {"404 page", 404, u"Content-Length: 22\r\n", {}, 22, false},
      {"500", 500, u"", {}, 7, false},
      {"302", 302, u"", {}, 7, false},
      {"199", 199, u"", {}, 0, false},
      // A plain body cut short.
      {"cut short", 200, u"Content-Length: 10240\r\n", {}, 5000, false},
      {"cut short, name in any case", 200, u"content-LENGTH:   10 \r\n", {}, 9, false},
      {"cut short, last line unended", 200, u"Server: x\r\nContent-Length: 10", {}, 9, false},
      {"cut short, identity coding", 200, u"Content-Encoding: identity\r\nContent-Length: 10\r\n",
       {}, 9, false},
      {"cut short against the reported length", 200, u"", 100, 99, false},
      {"reported length, whole", 200, u"", 100, 100, true},
      {"header wins over the reported length", 200, u"Content-Length: 10\r\n", 7, 10, true},
      {"large file", 200, u"Content-Length: 5000000000\r\n", {}, 5'000'000'000u, true},
      {"other header ending in the name", 200, u"X-Content-Length: 10\r\n", {}, 9, true},
      // Decoded bodies: the announced length is the coded one.
      {"coding named, decoded larger", 200, u"Content-Encoding: gzip\r\nContent-Length: 10\r\n",
       {}, 40, true},
      {"coding named, decoded smaller", 200, u"Content-Encoding: gzip\r\nContent-Length: 40\r\n",
       {}, 10, true},
      {"coding stripped, coded length kept", 200, u"Content-Length: 10\r\n", 10, 40, true},
      {"coding and length stripped", 200, u"", {}, 40, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsWholeBody({c.status, c.headers, c.reportedLength}, c.storedSize), c.taken)
        << c.label;
  }
}

TEST(PlainBodyLengthTest, IsTheLengthOfAnUncodedBodyOnly) {
  EXPECT_EQ(PlainBodyLength(u"Content-Length: 4563402752\r\n"), 4'563'402'752u);
  EXPECT_EQ(PlainBodyLength(u"Content-Encoding: identity\r\nContent-Length: 7\r\n"), 7u);
  EXPECT_EQ(PlainBodyLength(u"Content-Encoding: gzip\r\nContent-Length: 7\r\n"), std::nullopt);
  EXPECT_EQ(PlainBodyLength(u"Transfer-Encoding: chunked\r\n"), std::nullopt);
  EXPECT_EQ(PlainBodyLength(u"Content-Length: 12x\r\n"), std::nullopt);
}

}  // namespace
