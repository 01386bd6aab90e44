#include "download/url_encode.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct EncodeCase {
  const char* label;
  std::u16string text;
  std::u16string encoded;
};

void PrintTo(const EncodeCase& c, std::ostream* out) { *out << c.label; }

class UrlEncodeTest : public testing::TestWithParam<EncodeCase> {};

TEST_P(UrlEncodeTest, EncodesEachUnitOnItsOwn) {
  EXPECT_EQ(UrlEncode(GetParam().text), GetParam().encoded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UrlEncodeTest,
    testing::Values(
        EncodeCase{"Empty", u"", u""},
        EncodeCase{"UnreservedPassUnchanged",
                   u"http://127.0.0.1:18080/cv3down/AZaz09-_.~",
                   u"http://127.0.0.1:18080/cv3down/AZaz09-_.~"},
        EncodeCase{"SpaceInFolderName", u"/cv3down/data/sub/a b.dat",
                   u"/cv3down/data/sub/a%20b.dat"},
        EncodeCase{"NeitherQueryNorEscapesSurvive", u"100%+ok?.txt", u"100%25%2Bok%3F.txt"},
        EncodeCase{"FragmentAndQuerySeparators", u"#&=", u"%23%26%3D"},
        EncodeCase{"Backslash", u"dir\\file.dat", u"dir%5Cfile.dat"},
        EncodeCase{"HangulThreeBytesEach", u"한글.txt", u"%ED%95%9C%EA%B8%80.txt"},
        EncodeCase{"TwoByteCharacter", u"é", u"%C3%A9"},
        EncodeCase{"ControlCharacter", u"\t", u"%09"},
        // The converter turns a lone surrogate into U+FFFD.
        EncodeCase{"LoneHighSurrogate", std::u16string(1, char16_t{0xD800}), u"%EF%BF%BD"},
        EncodeCase{"LoneLowSurrogate", std::u16string(1, char16_t{0xDC00}), u"%EF%BF%BD"},
        // U+1F600 is sent as its two halves, not as F0 9F 98 80.
        EncodeCase{"PairHalvesConvertedSeparately", u"\U0001F600.txt",
                   u"%EF%BF%BD%EF%BF%BD.txt"},
        EncodeCase{"LastUnitOfThePlane", std::u16string(1, char16_t{0xFFFF}), u"%EF%BF%BF"}),
    [](const testing::TestParamInfo<EncodeCase>& info) { return info.param.label; });

}  // namespace
