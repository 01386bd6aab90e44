#include "ui/progress_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> Names(int count) {
  std::vector<std::u16string> names;
  for (int i = 1; i <= count; ++i) names.push_back(u"f" + std::u16string(1, u'0' + i % 10));
  return names;
}

TEST(FileListTextTest, ListsThreeNamesAndCountsTheRest) {
  struct Case {
    int count;
    std::u16string text;
  };
  const Case cases[] = {
      {0, u""},
      {1, u"f1"},
      {3, u"f1\r\nf2\r\nf3"},
      {4, u"f1\r\nf2\r\nf3\r\n... 외 1개"},
      {10, u"f1\r\nf2\r\nf3\r\n... 외 7개"},
  };
  for (const Case& c : cases) EXPECT_EQ(FileListText(Names(c.count)), c.text) << c.count;
}

TEST(FileListTextTest, KeepsNamesAsListed) {
  EXPECT_EQ(FileListText({u"data/sub/a b.dat", u"한글.i.zip"}), u"data/sub/a b.dat\r\n한글.i.zip");
}

TEST(OverallProgressTextTest, ShowsCurrentOfTotal) {
  EXPECT_EQ(OverallProgressText(0, 4), u"전체 진행: 0 / 4");
  EXPECT_EQ(OverallProgressText(4, 4), u"전체 진행: 4 / 4");
  EXPECT_EQ(OverallProgressText(3, 10), u"전체 진행: 3 / 10");
  EXPECT_EQ(OverallProgressText(-1, 2147483647), u"전체 진행: -1 / 2147483647");
}

}  // namespace
