#include "lists/storable_name.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "base/utf8.h"
#include "publish/code_page.h"

namespace {

const std::u16string kDirectory = u"C:\\corvane3";  // 11 units

// A name whose stored path, "C:\corvane3\" and the name, is length units long.
std::u16string NameWithPathLength(size_t length, std::u16string_view ending = u"") {
  return std::u16string(length - kDirectory.size() - 1 - ending.size(), u'n') +
         std::u16string(ending);
}

TEST(IsStorableNameTest, TakesWhatWindowsStoresInsideTheDirectory) {
  struct Case {
    std::u16string name;
    bool storable;
  };
  const Case cases[] = {
      {u"a.dll", true},
      {u"data/sub/a b.dat", true},
      {u"dir\\x.dll", true},
      {u"sub//x.dll", true},
      {u"sub/", true},
      // Windows drops trailing dots and blanks of a component: "a.dll | 5".
      {u"a.dll ", true},
      {u"a.dll.", true},
      {u"x./y", true},
      {u"dir. /x.dat", true},
      // A leading separator stays below the directory.
      {u"/lead.dat", true},
      {u"\\lead.dat", true},
      {u"\\\\server\\share\\x.dll", true},
      {u"a..b", true},
      {u"..a", true},
      {u"sub/.hidden", true},
      {u"console.dll", true},
      {u"com10", true},
      {u"lpt.txt", true},
      {u"nul_.dll", true},
      {u".crv3part.dll", true},
      {u"\uD55C\uAE00.txt", true},
      // Nothing that is a file, or a climb out of the directory.
      {u"", false},
      {u"/", false},
      {u"\\/\\", false},
      {u".", false},
      {u"..", false},
      {u"...", false},
      {u". .", false},
      {u"../evil.dll", false},
      {u"..\\evil.dll", false},
      {u"sub/../../evil.dll", false},
      {u"sub\\..", false},
      {u"sub/.. /x.dll", false},
      {u"sub/ ", false},
      // Drives and streams.
      {u":", false},
      {u"a:b", false},
      {u"C:\\Windows\\x.dll", false},
      {u"D:x.dll", false},
      {u"x.dll::$DATA", false},
      // Devices, whatever the extension.
      {u"CON", false},
      {u"nul.txt", false},
      {u"sub/Aux.tar.gz", false},
      {u"prn/a.dll", false},
      {u"com1", false},
      {u"LPT9.log", false},
      {u"COM1 .log", false},
      {u"CON.", false},
      {u"conout$", false},
      // The launcher's own staging files and aside copies, also as Windows
      // stores the name.
      {u"x.crv3part", false},
      {u"sub/A.CRV3PART", false},
      {u"x.crv3part. ", false},
      {u"crv3launcher.exe.crv3old", false},
      {u"sub/X.DLL.Crv3Old .", false},
      {u"x.crv3old/inner.dat", true},
      // ...and its journal, at the top of the directory only.
      {u"/Owned_Files.TXT .", false},
      {u"sub/owned_files.txt", true},
      // The path limit counts the stored path, never the staging ending.
      {NameWithPathLength(259), true},
      {NameWithPathLength(260), false},
      {u"/" + NameWithPathLength(259), true},
      {NameWithPathLength(259, u"..."), true},
      {NameWithPathLength(260, u"/x"), false},
      {std::u16string(300, u'n'), false},
      // Separators collapse, but no path form takes more than 32,767 units.
      {u"x" + std::u16string(32755 - 2, u'/') + u"y", true},
      {u"x" + std::u16string(32756 - 2, u'/') + u"y", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsStorableName(c.name, kDirectory), c.storable)
        << std::string(c.name.begin(), c.name.end());
  }
}

TEST(LocalFileNameTest, StoresZippedIniAsIni) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"config.i.zip", u"config.ini"},
      {u"Data/Setup.I.ZIP", u"Data/Setup.ini"},
      {u".i.zip", u".ini"},
      {u"\uD55C\uAE00.i.Zip", u"\uD55C\uAE00.ini"},
      {u"a.zip", u"a.zip"},
      {u"x.i.zipx", u"x.i.zipx"},
      {u"i.zip", u"i.zip"},
      {u"", u""},
      // Only A to Z fold: a dotted capital I (U+0130) is not "i".
      {u"a.i.zi\u0130", u"a.i.zi\u0130"},
  };
  for (const auto& [listed, stored] : cases) {
    EXPECT_EQ(LocalFileName(listed), stored) << ToUtf8(listed);
  }
}

// Names in UTF-16 are listed in code page 949 as the publisher lists them.
std::string Listed(std::u16string_view name) { return EncodeCodePage949(name).value(); }

TEST(StoredNameKeyTest, NamesWindowsStoresAsOneFileShareTheKey) {
  const struct {
    std::string a, b;
    bool oneFile;
  } cases[] = {
      {"config.i.zip", "CONFIG.INI", true},
      {"config.i.zip", "config.i.zip ", false},
      {"config.i.zip .", "Config.I.Zip.", true},
      // A last component Windows drops leaves the ".i.zip" file as it is.
      {"config.i.zip/.", "config.i.zip.", true},
      {"Dir./Sub /a.dll. .", "dir\\sub\\A.DLL", true},
      {"/x//y.dat", "x\\y.dat", true},
      {std::string("a.dll\0b", 7), "a.dll", true},
      {Listed(u"σω/аяё ａｚⅰⅹ"), Listed(u"ΣΩ/АЯЁ ＡＺⅠⅩ"), true},
      {Listed(u"æðħĳŀłøœþŧŋ"), Listed(u"ÆÐĦĲĿŁØŒÞŦŊ"), true},
      // Windows folds no dotless i into I, and Hangul has no case.
      {Listed(u"ı"), "I", false},
      {Listed(u"가"), Listed(u"각"), false},
      // A second byte is no ASCII letter, whether or not the pair is a character.
      {"\x81\x61.dat", "\x81\x41.dat", false},
      {"\xC7\x61", "\xC7\x41", false},
      {"\xFF\x61", "\xFF\x41", true},
      {"\xA5\xE1\xA5", "\xA5\xC1\xA5", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StoredNameKey(c.a) == StoredNameKey(c.b), c.oneFile) << testing::PrintToString(c.a);
    EXPECT_EQ(StoredNameKey(StoredNameKey(c.a)), StoredNameKey(c.a));
  }
}

}  // namespace
