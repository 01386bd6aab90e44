#include "app/update_selection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <optional>
#include <set>

#include "lists/ansi.h"
#include "tests/unit/fake_platform.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

const std::u16string kDirectory = u"C:\\corvane3";

// Answers from a set of existing paths and records every path asked about.
struct FakeDisk {
  std::set<std::u16string> existing;
  std::vector<std::u16string> asked;

  PathExistsTest Test() {
    return [this](const std::u16string& path) {
      asked.push_back(path);
      return existing.count(path) > 0;
    };
  }
};

struct SelectionCase {
  const char* description;
  int64_t serverVersion;
  std::optional<int64_t> infoVersion;
  std::optional<int64_t> localVersion;
  bool presentOnDisk;
  bool selected;
  bool diskConsulted;
  bool lowersRecord;  // what a launcher that trusts only signed lists refuses
};

void PrintTo(const SelectionCase& c, std::ostream* os) { *os << c.description; }

class SelectionRuleTest : public testing::TestWithParam<SelectionCase> {};

TEST_P(SelectionRuleTest, FollowsInfoThenLocalThenDisk) {
  const SelectionCase& c = GetParam();
  VersionList info, local;
  if (c.infoVersion) info["a.dll"] = *c.infoVersion;
  if (c.localVersion) local["a.dll"] = *c.localVersion;
  FakeDisk disk;
  if (c.presentOnDisk) disk.existing.insert(u"C:\\corvane3\\a.dll");

  const auto selected =
      SelectDownloads({{"a.dll", c.serverVersion}}, local, info, kDirectory, disk.Test());

  EXPECT_EQ(selected, c.selected ? std::vector<std::u16string>{u"a.dll"}
                                 : std::vector<std::u16string>{});
  EXPECT_EQ(disk.asked.size(), c.diskConsulted ? 1u : 0u);
  EXPECT_EQ(NamesOlderVersion({{"b.dll", 1}, {"a.dll", c.serverVersion}}, local, info),
            c.lowersRecord);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectionRuleTest,
    testing::Values(
        SelectionCase{"info decides over local, equal is not newer", 5, 5, 3, false, false,
                      false, false},
        // Selected by the info file, yet a replay by the record it adds to.
        SelectionCase{"info older than server, local newer", 5, 4, 7, true, true, false, true},
        SelectionCase{"info newer, file missing", 4, 5, std::nullopt, false, false, false, true},
        SelectionCase{"only the server lists it", 5, std::nullopt, std::nullopt, true, true, false,
                      false},
        SelectionCase{"server newer than local", 6, std::nullopt, 5, true, true, false, false},
        SelectionCase{"current and present", 5, std::nullopt, 5, true, false, true, false},
        SelectionCase{"current but missing", 5, std::nullopt, 5, false, true, true, false},
        SelectionCase{"older on server but missing", 4, std::nullopt, 5, false, true, true, true},
        SelectionCase{"negative is older than zero", -1, std::nullopt, 0, true, false, true, true},
        SelectionCase{"signed comparison at the extremes", INT64_MIN, std::nullopt, INT64_MAX,
                      true, false, true, true},
        SelectionCase{"newest possible", INT64_MAX, std::nullopt, INT64_MIN, true, true, false,
                      false}),
    [](const testing::TestParamInfo<SelectionCase>& info) {
      std::string name;
      for (const char* p = info.param.description; *p; ++p) {
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      }
      return name;
    });

TEST(SelectDownloadsTest, FirstRunSelectsEveryNameInByteOrder) {
  FakeDisk disk;
  const auto selected =
      SelectDownloads({{"b.dll", 1}, {"B.dll", 1}, {"a.dll", 1}, {"\xB0\xA1.dat", 1}}, {}, {},
                      kDirectory, disk.Test());
  EXPECT_THAT(selected, ElementsAre(u"B.dll", u"a.dll", u"b.dll", u"\u00B0\u00A1.dat"));
  EXPECT_THAT(disk.asked, IsEmpty());
}

// A recorded name is the record of every name Windows stores as that file.
TEST(SelectDownloadsTest, RecordedNamesMatchTheFileTheyAreStoredAs) {
  const struct {
    std::string listed, recorded;
    bool oneFile;
  } cases[] = {
      {"App.dll", "app.dll", true},
      {"config.i.zip", "Config.ini", true},
      {"Dir/\xA5\xF2.dll", "dir\\\xA5\xD2.DLL. ", true},  // a Greek letter in two cases
      {"\x81\x61.dat", "\x81\x41.dat", false},             // two Hangul syllables
  };
  for (const auto& c : cases) {
    FakeDisk disk;
    disk.existing.insert(kDirectory + u"\\" + AnsiToWide(c.listed));
    EXPECT_EQ(SelectDownloads({{c.listed, 5}}, {{c.recorded, 5}}, {}, kDirectory, disk.Test())
                  .empty(),
              c.oneFile)
        << c.listed;
    EXPECT_EQ(NamesOlderVersion({{c.listed, 4}}, {{c.recorded, 5}}, {}), c.oneFile) << c.listed;
    EXPECT_EQ(NamesOlderVersion({{c.listed, 4}}, {{c.listed, 3}}, {{c.recorded, 5}}), c.oneFile)
        << c.listed;
  }
  // The info list decides for the file; of two spellings, the higher counts.
  EXPECT_THAT(SelectDownloads({{"App.dll", 8}}, {{"app.dll", 1}}, {{"APP.DLL", 9}}, kDirectory,
                              FakeDisk().Test()),
              IsEmpty());
  EXPECT_TRUE(NamesOlderVersion({{"a.dll", 4}}, {{"A.dll", 5}, {"a.DLL", 3}}, {}));
}

TEST(SelectDownloadsTest, DiskTestUsesListedNameUnchanged) {
  FakeDisk disk;
  disk.existing.insert(u"C:\\corvane3\\settings.ini");
  disk.existing.insert(u"C:\\corvane3\\sub/file.dat");
  const VersionList both = {{"settings.i.zip", 3}, {"sub/file.dat", 3}};
  EXPECT_THAT(SelectDownloads(both, both, {}, kDirectory, disk.Test()),
              ElementsAre(u"settings.i.zip"));
  EXPECT_THAT(disk.asked,
              ElementsAre(u"C:\\corvane3\\settings.i.zip", u"C:\\corvane3\\sub/file.dat"));
}

TEST(SelectDownloadsTest, EntriesOnlyInLocalOrInfoListPlayNoPart) {
  FakeDisk disk;
  EXPECT_THAT(SelectDownloads({}, {{"old.dll", 1}}, {{"info.dll", 1}}, kDirectory, disk.Test()),
              IsEmpty());
  EXPECT_THAT(disk.asked, IsEmpty());
}

}  // namespace
