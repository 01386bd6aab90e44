#include "lists/version_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "lists/ansi.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Pair;

using namespace std::string_literals;

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

std::vector<std::string> LinesOf(std::string_view text) {
  std::vector<std::string> lines;
  ReadListLines(text, [&lines](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

struct LinesCase {
  std::string text;
  std::vector<std::string> lines;
};

TEST(ReadListLinesTest, SplitsAtLfAndTrimsOnlyTrailingBlanksTabsAndCrs) {
  const LinesCase cases[] = {
      {"", {}},
      {"\n", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\nb", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\n\nb", {"a", "b"}},
      {"a\r\n\r\nb", {"a", "b"}},
      {" \t \r\n\t\n   ", {}},
      {"  a \t\r", {"  a"}},
      {"a\rb", {"a\rb"}},
      {"a\r\rb\r\r\n", {"a\r\rb"}},
      {"a\v\f", {"a\v\f"}},
      {"\v\n\f", {"\v", "\f"}},
      {"a\0\n\0"s, {"a\0"s, "\0"s}},
      {"a \0 \n"s, {"a \0"s}},
  };
  for (const LinesCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(LinesOf(c.text), c.lines);
  }
}

struct NumberCase {
  std::string text;
  int64_t value;
};

TEST(ParseVersionNumberTest, ReadsBaseTenAfterWhiteSpaceAndOneSign) {
  const NumberCase cases[] = {
      {"", 0},
      {"0", 0},
      {"5", 5},
      {"-3", -3},
      {"+7", 7},
      {"010", 10},
      {"0x1F", 0},
      {"12abc", 12},
      {"5|6", 5},
      {"x", 0},
      {"-", 0},
      {"+", 0},
      {"+-1", 0},
      {"--1", 0},
      {"- 1", 0},
      {" \t\n\v\f\r42", 42},
      {"\0" "42"s, 0},
      {"4\0" "2"s, 4},
      {"1 2", 1},
      {"\xA0" "1", 0},
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(ParseVersionNumber(c.text), c.value);
  }
}

TEST(ParseVersionNumberTest, ClampsToTheSigned64BitRange) {
  const NumberCase cases[] = {
      {"9223372036854775807", kMax},
      {"9223372036854775808", kMax},
      {"99999999999999999999", kMax},
      {"+99999999999999999999", kMax},
      {"-9223372036854775807", kMin + 1},
      {"-9223372036854775808", kMin},
      {"-9223372036854775809", kMin},
      {"-99999999999999999999", kMin},
      {"00000000000000000000000009223372036854775807", kMax},
      {"18446744073709551616", kMax},
      {"-18446744073709551617", kMin},
      {std::string(100000, '9') + "x", kMax},
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    EXPECT_EQ(ParseVersionNumber(c.text), c.value);
  }
}

struct ListCase {
  std::string text;
  std::vector<std::pair<std::string, int64_t>> entries;
};

TEST(ParseVersionListTest, SplitsNameAndVersionAtTheFirstBar) {
  const ListCase cases[] = {
      {"", {}},
      {"a.dll|5\r\nb.dll|7\r\n", {{"a.dll", 5}, {"b.dll", 7}}},
      {"a.dll|5\nb.dll|7", {{"a.dll", 5}, {"b.dll", 7}}},
      {"a.dll", {{"a.dll", 0}}},
      {"a.dll | 5", {{"a.dll ", 5}}},
      {" a.dll|5", {{" a.dll", 5}}},
      {"a.dll|5|6", {{"a.dll", 5}}},
      {"a.dll|x", {{"a.dll", 0}}},
      {"a.dll|", {{"a.dll", 0}}},
      {"a.dll|12abc", {{"a.dll", 12}}},
      {"a.dll|-3", {{"a.dll", -3}}},
      {"a|99999999999999999999", {{"a", kMax}}},
      {"a|-99999999999999999999", {{"a", kMin}}},
      {"|5", {{"", 5}}},
      {"|", {{"", 0}}},
      {"a|1\rb|2", {{"a", 1}}},
      {"sub/dir\\x.dll|3", {{"sub/dir\\x.dll", 3}}},
      {"\xEF\xBB\xBF" "a|1", {{"\xEF\xBB\xBF" "a", 1}}},
      {"\xFF\xFE" "a\0|\0" "1\0"s, {{"\xFF\xFE" "a\0"s, 0}}},
      {"n\0ul|4"s, {{"n\0ul"s, 4}}},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_THAT(ParseVersionList(c.text), ElementsAreArray(c.entries));
  }
}

TEST(ParseVersionListTest, SkipsLinesThatAreEmptyAfterTrimming) {
  EXPECT_THAT(ParseVersionList("\n  \n\t\t\n\r\na|1\r\n\r\n \t\r\nb|2\n\n"),
              ElementsAre(Pair("a", 1), Pair("b", 2)));
}

TEST(ParseVersionListTest, LastLineForANameWins) {
  EXPECT_THAT(ParseVersionList("a|1\na|2"), ElementsAre(Pair("a", 2)));
  EXPECT_THAT(ParseVersionList("a|1\na"), ElementsAre(Pair("a", 0)));
  EXPECT_THAT(ParseVersionList("a|5\nb|1\na|3\n"), ElementsAre(Pair("a", 3), Pair("b", 1)));
}

TEST(ParseVersionListTest, OrdersNamesByUnsignedBytes) {
  const VersionList list =
      ParseVersionList("a.dll|1\nA.dll|2\nB.dll|3\nab|4\na|5\n\xB0\xA1.dll|6\n~|7\n |8\n");
  EXPECT_THAT(list, ElementsAre(Pair(" ", 8), Pair("A.dll", 2), Pair("B.dll", 3), Pair("a", 5),
                                Pair("a.dll", 1), Pair("ab", 4), Pair("~", 7),
                                Pair("\xB0\xA1.dll", 6)));
}

TEST(ParseVersionListTest, CrLfAndLfTextsGiveTheSameList) {
  const std::string lf = "z.exe|3\n\nsub/a.dll|1\n b|2\n";
  std::string crlf;
  for (const char c : lf) crlf += c == '\n' ? "\r\n" : std::string(1, c);
  EXPECT_EQ(ParseVersionList(crlf), ParseVersionList(lf));
  EXPECT_EQ(ParseVersionList(lf).size(), 3u);
}

TEST(ParseVersionListTest, HandlesLongLinesAndManyLines) {
  const std::string longName(1 << 20, 'n');
  EXPECT_THAT(ParseVersionList(longName + "|9\n"), ElementsAre(Pair(longName, 9)));

  std::string many;
  for (int i = 0; i < 200000; ++i) many += "f" + std::to_string(i % 1000) + "|" + std::to_string(i) + "\n";
  const VersionList list = ParseVersionList(many);
  ASSERT_EQ(list.size(), 1000u);
  EXPECT_EQ(list.at("f0"), 199000);
  EXPECT_EQ(list.at("f999"), 199999);
}

TEST(AnsiToWideTest, StopsAtTheFirstZeroByte) {
  EXPECT_EQ(AnsiToWide(""), u"");
  EXPECT_EQ(AnsiToWide("a.dll"), u"a.dll");
  EXPECT_EQ(AnsiToWide("ab\0cd"s), u"ab");
  EXPECT_EQ(AnsiToWide("\0cd"s), u"");
}

}  // namespace
