#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

struct CommandLineCase {
  std::u16string commandLine;
  std::u16string executableOverride;
  std::u16string launchParameters;
};

class ParseCommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(ParseCommandLineTest, SplitsOverrideAndSwitch) {
  const CommandLineOptions options = ParseCommandLine(GetParam().commandLine);
  EXPECT_EQ(options.executableOverride, GetParam().executableOverride);
  EXPECT_EQ(options.launchParameters, GetParam().launchParameters);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseCommandLineTest,
    testing::Values(
        CommandLineCase{u"", u"", u""},
        CommandLineCase{u"/updated", u"", u"/updated"},
        // Quotes are trimmed at the ends only; everything after the switch goes.
        CommandLineCase{u"\"C:\\a b\\x.exe\" /updated -v", u"C:\\a b\\x.exe", u"/updated"},
        // Case-sensitive: the whole text names a program.
        CommandLineCase{u"/UPDATED", u"/UPDATED", u""},
        CommandLineCase{u" \t\"\" \t", u"", u""},
        // No separator is needed, and only the first occurrence counts.
        CommandLineCase{u"x/updatedy /updated", u"x", u"/updated"},
        CommandLineCase{u"a \"b\" c", u"a \"b\" c", u""},
        CommandLineCase{u"/update", u"/update", u""}));

TEST(ParseCommandLineTest, HandlesVeryLongLines) {
  const std::u16string path(100000, u'p');
  const CommandLineOptions options = ParseCommandLine(u"\"" + path + u"\"/updated" + path);
  EXPECT_EQ(options.executableOverride, path);
  EXPECT_EQ(options.launchParameters, u"/updated");
}

}  // namespace
