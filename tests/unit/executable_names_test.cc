#include "lists/executable_names.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "lists/listed_executables.h"

namespace {

// The rule on one listed name, on its bytes: a lead byte of a double-byte
// character just before a separator leaves the separator a separator.
TEST(ExecutableBaseNameTest, IsThePartAfterTheLastSeparatorWhenItEndsInExe) {
  const struct {
    std::string_view listedName;
    std::optional<std::string_view> baseName;
  } cases[] = {
      {"Bin/Viewer.EXE", "Viewer.EXE"},
      {"a/b\\c/d.exe", "d.exe"},
      {"\x81/\xB0\xA1.exe", "\xB0\xA1.exe"},
      {".exe", ".exe"},
      {"dir.exe/", std::nullopt},
      {"app.exe ", std::nullopt},
      {"readme.exe.txt", std::nullopt},
      {"exe", std::nullopt},
      {"", std::nullopt},
      {std::string_view("a\0b.exe", 7), std::nullopt},
      {std::string_view("a\0/b.exe", 8), "b.exe"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExecutableBaseName(c.listedName), c.baseName) << testing::PrintToString(c.listedName);
  }
}

struct NamesCase {
  std::string text;
  std::vector<std::u16string> names;
};

void PrintTo(const NamesCase& c, std::ostream* os) { *os << testing::PrintToString(c.text); }

class CollectExecutableNamesTest : public testing::TestWithParam<NamesCase> {};

TEST_P(CollectExecutableNamesTest, TakesBaseNamesOfListedExecutables) {
  EXPECT_EQ(CollectExecutableNames(GetParam().text), GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CollectExecutableNamesTest,
    testing::Values(
        // The ending is tested case-folded; the name keeps its case.
        NamesCase{"Bin/Viewer.EXE|3\n", {u"Viewer.EXE"}},
        NamesCase{"tools\\viewer2.exe\n", {u"viewer2.exe"}},
        NamesCase{"a/b\\c/d.exe|1", {u"d.exe"}},
        // A blank before the bar belongs to the name; a CR LF end does not.
        NamesCase{"app.exe |3\n", {}},
        NamesCase{"app.exe\r\n", {u"app.exe"}},
        NamesCase{"app.exe|3 \t\r\n", {u"app.exe"}},
        NamesCase{"readme.exe.txt\na.exe/readme.txt\nexe\n", {}},
        NamesCase{".exe|1\n", {u".exe"}},
        // Only the first bar ends the file field.
        NamesCase{"x.exe|1|y.exe\n", {u"x.exe"}},
        NamesCase{"|a.exe\n", {}},
        // Duplicates stay, in list order, blank lines are skipped.
        NamesCase{"z.exe|1\n\r\n  \na/z.exe|2\nb\\Z.exe|3\n", {u"z.exe", u"z.exe", u"Z.exe"}},
        NamesCase{"a.dll|1\nb.txt|2\n", {}},
        NamesCase{"", {}},
        // Names convert from the ANSI code page. A zero byte would cut the
        // converted name short of its ending, so such a line names nothing.
        NamesCase{std::string("\xB0\xA1.exe|1\n"), {u"\u00B0\u00A1.exe"}},
        NamesCase{std::string("a\0b.exe|1\ny.exe\n", 16), {u"y.exe"}}));

}  // namespace
