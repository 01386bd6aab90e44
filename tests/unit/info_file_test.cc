#include "lists/info_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

using namespace std::string_literals;

struct InfoCase {
  std::string text;
  std::vector<std::pair<std::string, int64_t>> entries;
};

void ExpectParses(const InfoCase& c) {
  SCOPED_TRACE(testing::PrintToString(c.text));
  EXPECT_THAT(ParseInfoFile(c.text), ElementsAreArray(c.entries));
}

TEST(ParseInfoFileTest, EachSectionGivesOneEntryFromItsLastKeys) {
  const InfoCase cases[] = {
      {"", {}},
      {"[a]\nfn=x.dll\nver=3\n[b]\nfn=y.dll\nver=4", {{"x.dll", 3}, {"y.dll", 4}}},
      {"[a]\nver=3\nfn=x.dll", {{"x.dll", 3}}},
      {"[a]\nfn=x.dll\n[b]\nver=3", {}},
      {"[a]\nfn=x.dll\nver=3\n[b]\nfn=x.dll\nver=5", {{"x.dll", 5}}},
      {"[a]\nfn=x.dll\nver=5\n[b]\nfn=x.dll\nver=3", {{"x.dll", 3}}},
      {"[a]\nfn=x.dll\nver=1\nfn=y.dll\nver=2\nver=7", {{"y.dll", 7}}},
      {"[a]\nfn=x.dll\nver=3\n[b]\n[c]\nfn=y.dll", {{"x.dll", 3}}},
      {"[a]\nfn=x.dll\nver=3\n[b]\nfn=y.dll\n[c]\nver=4", {{"x.dll", 3}}},
  };
  for (const InfoCase& c : cases) ExpectParses(c);
}

TEST(ParseInfoFileTest, LinesBeforeTheFirstSectionFormASection) {
  const InfoCase cases[] = {
      {"fn=x.dll\nver=3\nfn=y.dll\nver=4", {{"y.dll", 4}}},
      {"fn=x.dll\nver=3\n[a]\nfn=y.dll\nver=4", {{"x.dll", 3}, {"y.dll", 4}}},
      {"fn=x.dll\n[a]\nver=3", {}},
  };
  for (const InfoCase& c : cases) ExpectParses(c);
}

TEST(ParseInfoFileTest, KeysCountOnlyAtLineStartInLowerCase) {
  const InfoCase cases[] = {
      {"fn= x.dll\nver= 7", {{" x.dll", 7}}},
      {"fn=x.dll \t\nver=7 \r", {{"x.dll", 7}}},
      {"fn=\nver=", {{"", 0}}},
      {"fn=a|b\nver=2x", {{"a|b", 2}}},
      {" fn=x.dll\nver=1", {}},
      {"\tfn=x.dll\nver=1", {}},
      {"FN=x.dll\nver=1", {}},
      {"Fn=x.dll\nver=1", {}},
      {"fn = x.dll\nver=1", {}},
      {"fn=x.dll\nVER=1", {}},
      {"fn=x.dll\nver =1", {}},
      {"fn\nver=1", {}},
      {"fn=x.dll\nve", {}},
      {"xfn=a\nver=1", {}},
      {"fn=a\nver=fn=b", {{"a", 0}}},
      {"fn=a\nfn=b\nver=1\nfn=ver=2", {{"ver=2", 1}}},
      {"[fn=x.dll\nver=1", {}},
      {"fn=x.dll\n[ver=1\nver=2", {}},
      {"fn=x.dll\nver=99999999999999999999", {{"x.dll", INT64_MAX}}},
      {"fn=x\0y\nver=1\0" "2"s, {{"x\0y"s, 1}}},
  };
  for (const InfoCase& c : cases) ExpectParses(c);
}

TEST(ParseInfoFileTest, LineEndsAndBlankLinesDoNotMatter) {
  const std::string lf = "[a]\nfn=x.dll\nver=3\n[b]\nfn=y.dll\nver=4\n";
  std::string crlf;
  std::string spaced;
  for (const char c : lf) {
    crlf += c == '\n' ? "\r\n" : std::string(1, c);
    spaced += c == '\n' ? "\r\n \t\r\n\n" : std::string(1, c);
  }
  const VersionList expected = ParseInfoFile(lf);
  EXPECT_EQ(expected.size(), 2u);
  EXPECT_EQ(ParseInfoFile(crlf), expected);
  EXPECT_EQ(ParseInfoFile(spaced), expected);
}

TEST(ParseInfoFileTest, ByteOrderMarksAndUtf16TextGiveNoKeys) {
  // A UTF-8 mark hides the key of the first line only.
  EXPECT_THAT(ParseInfoFile("\xEF\xBB\xBF" "fn=x.dll\nver=1\n"), IsEmpty());
  EXPECT_THAT(ParseInfoFile("\xEF\xBB\xBF[a]\nfn=x.dll\nver=1\n"),
              ElementsAreArray(std::vector<std::pair<std::string, int64_t>>{{"x.dll", 1}}));
  const std::string utf16 = "\xFF\xFE[\0a\0]\0\r\0\n\0f\0n\0=\0x\0\r\0\n\0v\0e\0r\0=\0001\0"s;
  EXPECT_THAT(ParseInfoFile(utf16), IsEmpty());
}

}  // namespace
