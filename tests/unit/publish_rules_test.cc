// The publisher's rules as tables: names, versions and the list text.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "lists/list_digests.h"
#include "lists/version_list.h"
#include "publish/code_page.h"
#include "publish/list_writer.h"
#include "publish/release_names.h"
#include "base/utf8.h"
#include "publish/versions.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::string Cp949(const std::u16string& text) { return EncodeCodePage949(text).value(); }

struct NameCase {
  std::u16string name;
  bool serveIniAsZip;
  std::u16string served;   // when accepted
  std::string listName;    // when accepted
  std::string problem;     // when refused: part of the message
};

TEST(CheckReleaseNamesTest, AcceptsWhatTheLauncherStoresAndRefusesTheRest) {
  const NameCase cases[] = {
      {u"crv3v2.exe", true, u"crv3v2.exe", "crv3v2.exe", ""},
      {u"data/maps.dat", true, u"data/maps.dat", "data/maps.dat", ""},
      {u"config.ini", true, u"config.i.zip", "config.i.zip", ""},
      {u"sub/Setup.INI", true, u"sub/Setup.i.zip", "sub/Setup.i.zip", ""},
      {u"config.ini", false, u"config.ini", "config.ini", ""},
      {u"도움말/안내.txt", true, u"도움말/안내.txt", "\xB5\xB5\xBF\xF2\xB8\xBB/\xBE\xC8\xB3\xBB.txt", ""},
      {u"sub/local_list.txt", true, u"sub/local_list.txt", "sub/local_list.txt", ""},
      {u"x.i.zip", true, u"", "", "would be stored by the launcher as x.ini"},
      {u"x.i.zip", false, u"", "", "would be stored by the launcher as x.ini"},
      {u"local_list.txt", true, u"", "", "record of installed versions"},
      {u"Owned_Files.TXT", true, u"", "", "journal of the files it replaces"},
      {u"LOCAL_LIST.TXT", true, u"", "", "record of installed versions"},
      {u"FileList.txt", true, u"", "", "in place of the list"},
      {u"a.dll.crv3part", true, u"", "", "ends in .crv3part"},
      {u"sub/A.CRV3PART", true, u"", "", "ends in .crv3part"},
      {u"crv3launcher.exe.crv3old", true, u"", "", "ends in .crv3old"},
      {u"sub/A.DLL.CRV3OLD", false, u"", "", "ends in .crv3old"},
      {u"a|b.txt", true, u"", "", "Windows does not allow"},
      {u"a\\b.txt", true, u"", "", "Windows does not allow"},
      {u"a\tb.txt", true, u"", "", "Windows does not allow"},
      {u"what?.txt", true, u"", "", "Windows does not allow"},
      {u"nul.txt", true, u"", "", "refuses to store"},
      {u"sub/COM1", true, u"", "", "refuses to store"},
      {u"sub./a.txt", true, u"", "", "ends in a dot or blank"},
      {u"a.txt ", true, u"", "", "ends in a dot or blank"},
      {u"../a.txt", true, u"", "", "ends in a dot or blank"},
      {std::u16string(248, u'a'), true, u"", "", "refuses to store"},  // 260 units in C:\corvane3
      {u"\u00E9t\u00E9.txt", true, u"", "", "code page 949"},     // no é in CP949
      {u"\U0001F389.txt", true, u"", "", "code page 949"},        // no emoji
      {u"\u0E01.txt", true, u"", "", "code page 949"},            // Thai
      {u"\u2126.txt", true, u"\u2126.txt", "\xA7\xD9.txt", ""},  // Ohm sign: KS X 1001 has it
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(ToUtf8(c.name) + (c.serveIniAsZip ? "" : " (--keep-ini)"));
    const NameCheck check = CheckReleaseNames({c.name}, c.serveIniAsZip);
    if (c.problem.empty()) {
      ASSERT_THAT(check.errors, IsEmpty());
      ASSERT_EQ(check.names.size(), 1u);
      EXPECT_EQ(check.names[0].servedName, c.served);
      EXPECT_EQ(check.names[0].listName, c.listName);
    } else {
      ASSERT_THAT(check.errors, ElementsAre(HasSubstr(c.problem)));
      EXPECT_EQ(check.errors[0].rfind(ToUtf8(c.name) + ": ", 0), 0u) << "names the file";
      EXPECT_THAT(check.names, IsEmpty());
    }
  }
}

struct CollisionCase {
  std::vector<std::u16string> names;
  size_t collisions;
};

TEST(FindCollisionsTest, NamesWindowsStoresAsOneFileCollide) {
  const CollisionCase cases[] = {
      {{u"a.dll", u"b.dll", u"sub/a.dll"}, 0},
      {{u"App.dll", u"app.dll"}, 1},
      {{u"Data/x.dat", u"data/X.DAT"}, 1},
      {{u"a.dll", u"a.dll."}, 1},
      {{u"a.dll", u"a.dll .."}, 1},
      {{u"sub/x", u"sub. /x"}, 1},
      {{u"data", u"Data/x.dat"}, 1},           // a file where a folder must be
      {{u"가.txt", u"가.TXT", u"A.txt"}, 1},
      {{u"a", u"A", u"a."}, 2},
      // Letters Windows folds beyond A to Z, and the ".i.zip" ending.
      {{u"σё.dat", u"ΣЁ.dat", u"ａ", u"Ａ", u"æ", u"Æ"}, 3},
      {{u"ı", u"I", u"가", u"각"}, 0},
      {{u"config.i.zip", u"CONFIG.ini"}, 1},
      {{u"α/x", u"Α"}, 1},
  };
  for (const CollisionCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.names.size()) + " names, first " + ToUtf8(c.names[0]));
    EXPECT_EQ(FindCollisions(c.names).size(), c.collisions);
  }
}

TEST(CheckReleaseNamesTest, ReportsCollisionsBetweenAcceptedNames) {
  const NameCheck check = CheckReleaseNames({u"Readme.txt", u"readme.txt"}, true);
  EXPECT_THAT(check.errors, ElementsAre("readme.txt: Windows stores it as the same file as "
                                        "Readme.txt"));
}

struct VersionCase {
  const char* what;
  VersionList previous;
  std::vector<VersionRequest> requests;
  std::optional<int64_t> requested;
  int64_t newVersion;
  std::vector<int64_t> versions;
  size_t errors;
  VersionHistory dropped = {};  // names the history holds beyond the previous list
};

VersionRequest Changed(const std::string& name) { return {name, name, false, "new"}; }
VersionRequest Same(const std::string& name) { return {name, name, true, "old"}; }

TEST(AssignVersionsTest, UnchangedKeepTheirVersionOthersGetTheRelease) {
  const VersionCase cases[] = {
      {"first release", {}, {Changed("a"), Changed("b")}, std::nullopt, 1, {1, 1}, 0},
      {"first release, given number", {}, {Changed("a")}, 7, 7, {7}, 0},
      {"default is one above the highest", {{"a", 3}, {"b", 9}},
       {Same("a"), Changed("b"), Changed("c")}, std::nullopt, 10, {3, 10, 10}, 0},
      {"unchanged keeps even a higher version", {{"a", 12}, {"b", 2}},
       {Same("a"), Changed("b")}, 5, 5, {12, 5}, 0},
      {"a new file takes a low given number", {{"a", 9}}, {Same("a"), Changed("n")}, 2, 2,
       {9, 2}, 0},
      {"given number equal to a changed file's", {{"a", 4}}, {Changed("a")}, 4, 4, {4}, 1},
      {"given number below two changed files'", {{"a", 4}, {"b", 6}},
       {Changed("a"), Changed("b")}, 3, 3, {3, 3}, 2},
      {"unchanged flag without a previous entry", {{"x", 1}}, {Same("a")}, std::nullopt, 2, {2},
       0},
      {"only negative versions before", {{"a", -5}}, {Changed("a")}, std::nullopt, 1, {1}, 0},
      {"no version above the highest", {{"a", INT64_MAX}}, {Changed("b")}, std::nullopt, 0, {},
       1},
      {"dropped name back changed, above its highest", {{"a", 1}}, {Same("a"), Changed("b")},
       std::nullopt, 4, {1, 4}, 0, {{"b", {3, "x"}}}},
      {"dropped name back with the bytes last given", {{"a", 1}}, {Changed("b")}, std::nullopt, 4,
       {3}, 0, {{"b", {3, "new"}}}},
      {"given number not above a dropped name's highest", {{"a", 1}}, {Changed("b")}, 5, 5, {5},
       1, {{"b", {6, "x"}}}},
      {"unchanged copy below its highest gets a new one", {{"a", 2}}, {Same("a")}, std::nullopt,
       6, {6}, 0, {{"a", {5, "x"}}}},      {"given number not above another spelling's highest", {{"Config.i.zip", 6}},
       {Changed("config.ini")}, 5, 5, {5}, 1},
  };
  for (const VersionCase& c : cases) {
    SCOPED_TRACE(c.what);
    VersionHistory history;
    for (const auto& [name, version] : c.previous) history[name] = {version, "old"};
    const VersionAssignment result =
        AssignVersions(c.requests, c.previous, Highest(history, c.dropped), c.requested);
    EXPECT_EQ(result.newVersion, c.newVersion);
    EXPECT_EQ(result.versions, c.versions);
    EXPECT_EQ(result.errors.size(), c.errors);
  }
}

TEST(AssignVersionsTest, ErrorNamesTheFileAndBothNumbers) {
  const VersionAssignment result =
      AssignVersions({{"d/x", "d/x", false, "new"}}, {{"d/x", 8}}, {{"d/x", {8, "old"}}}, 8);
  EXPECT_THAT(result.errors,
              ElementsAre("d/x: changed, but release 8 is not newer than its version 8"));
}

TEST(WriteListTextTest, LinesInTheLaunchersByteOrderWithCrLfAndDigestsItReadsBack) {
  const std::string a(32, '\xAB'), b(32, '\x01');
  std::string hexA = "|", hexB = "|";  // lower-case, as written
  for (int i = 0; i < 32; ++i) hexA += "ab", hexB += "01";
  const PublishedList list = {{Cp949(u"가.txt"), {2, a}}, {"a.dll", {1, b}}, {"B.dll", {3, a}},
                              {"a", {-1, b}}, {"sub/z", {5, a}}};
  const std::string text = WriteListText(list);
  EXPECT_EQ(text, "B.dll|3" + hexA + "\r\na|-1" + hexB + "\r\na.dll|1" + hexB + "\r\nsub/z|5" +
                      hexA + "\r\n" + Cp949(u"가.txt") + "|2" + hexA + "\r\n");
  VersionList expected;
  ListDigests expectedDigests;
  for (const auto& [name, entry] : list) {
    expected[name] = entry.version;
    expectedDigests[name] = entry.digest;
  }
  EXPECT_EQ(ParseVersionList(text), expected);
  EXPECT_EQ(ParseListDigests(text), expectedDigests);
}

TEST(ReadsBackAsListNameTest, RefusesBytesTheListCannotCarry) {
  // Blanks around the name are its own: the line ends after the version.
  for (const char* name : {"sub/a b.txt", " lead.txt", "trail ", "tab\t"}) {
    EXPECT_TRUE(ReadsBackAsListName(name)) << name;
  }
  for (const char* name : {"a|b", "|", "a\nb", "a\n"}) {
    EXPECT_FALSE(ReadsBackAsListName(name)) << name;
  }
}

TEST(Utf8Test, RoundTripsAndRefusesMalformedBytes) {
  const std::u16string text = u"a/가\u00E9\U0001F389";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
  for (const char* bad : {"\xFF", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xEA\xB0"}) {
    EXPECT_EQ(FromUtf8(bad), std::nullopt) << ::testing::PrintToString(std::string(bad));
  }
}

}  // namespace
