#include "lists/list_digests.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "lists/listed_executables.h"
#include "base/hex_text.h"
#include "publish/signing.h"
#include "lists/list_signature.h"
#include "lists/version_list.h"

namespace {

const std::string kDigestHex = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
const std::string kUpperHex = "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08";

TEST(ListDigestsTest, ReadsTheThirdFieldOnlyWhenItIsSixtyFourHexDigits) {
  const struct {
    std::string line;
    std::string digestHex;  // empty: none
  } cases[] = {
      {"a.dat|7|" + kDigestHex, kDigestHex},
      {"a.dat|7|" + kUpperHex, kDigestHex},
      {"a.dat||" + kDigestHex, kDigestHex},
      {"|7|" + kDigestHex, kDigestHex},
      {"a.dat|7|" + kDigestHex + "|later", kDigestHex},  // a fourth field is left alone
      {"a.dat|7", ""},
      {"a.dat", ""},
      {"a.dat|7|", ""},
      {"a.dat|7|5", ""},                                  // an old third field
      {"a.dat|7|" + kDigestHex.substr(1), ""},            // 63 digits
      {"a.dat|7|" + kDigestHex + "0", ""},                // 65 digits
      {"a.dat|7|" + kDigestHex + "00", ""},               // 33 bytes
      {"a.dat|7|" + kDigestHex.substr(2), ""},            // 31 bytes
      {"a.dat|7|" + kDigestHex.substr(1) + "g", ""},
      {"a.dat|7| " + kDigestHex.substr(1), ""},
      {"a.dat|7|sha256:" + kDigestHex, ""},
      {"a.dat|" + kDigestHex, ""},                        // in the version's place
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeHex(DigestOfLine(c.line)), c.digestHex) << c.line;
}

TEST(ListDigestsTest, TheLastLineNamingAFileDecides) {
  const std::string other(64, 'e');
  const ListDigests digests = ParseListDigests(
      "a|1|" + kDigestHex + "\r\n"
      "b|1|" + kDigestHex + "\nb|2\n"                      // the later line has none
      "c|1\nc|2|" + other + "\n"
      "d|1|" + kDigestHex + "   \r\n");                    // trailing blanks are not part of it
  ASSERT_EQ(digests.size(), 3u);
  EXPECT_EQ(EncodeHex(digests.at("a")), kDigestHex);
  EXPECT_EQ(EncodeHex(digests.at("c")), other);
  EXPECT_EQ(EncodeHex(digests.at("d")), kDigestHex);
}

// What launchers built before digests existed make of a list that carries
// them: the same versions and the same executables as without.
TEST(ListDigestsTest, OlderReadersSeeHashedListsUnchanged) {
  const std::string plain = "a.dll|5\r\nBin/run.exe|12\r\nx|-3\r\n";
  const std::string hashed = "a.dll|5|" + kDigestHex + "\r\nBin/run.exe|12|" + kUpperHex +
                             "\r\nx|-3|" + kDigestHex + "\r\n";
  EXPECT_EQ(ParseVersionList(hashed), ParseVersionList(plain));
  EXPECT_EQ(CollectExecutableNames(hashed), CollectExecutableNames(plain));
}

TEST(ListSignatureTest, SignatureFileIsHexWithAtMostOneLineEnd) {
  const std::string rs(128, 'a');
  const struct {
    std::string text;
    bool readable;
  } cases[] = {
      {rs, true},
      {rs + "\n", true},
      {rs + "\r\n", true},
      {std::string(64, 'A') + std::string(64, '0'), true},
      {rs + "\n\n", false},
      {rs + "\r", false},
      {rs + " ", false},
      {" " + rs, false},
      {rs.substr(2), false},          // truncated
      {rs + "aa", false},
      {std::string(64, '\xaa'), false},  // the raw 64 bytes
      {"", false},
      {"\n", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseSignatureFile(c.text).size(), c.readable ? 64u : 0u) << c.text;
  }
  const std::string signature(64, '\x5a');
  EXPECT_EQ(ParseSignatureFile(FormatSignatureFile(signature)), signature);
}

TEST(ListSignatureTest, ListIsSignedOnlyByTheKeyItsTextNames) {
  const SigningKeyPair pair = GenerateSigningKeyPair().value();
  const SigningKeyPair other = GenerateSigningKeyPair().value();
  const std::string list = "a.dll|5|" + kDigestHex + "\r\n";
  const std::string file = FormatSignatureFile(SignMessage(pair.privateKeyPem, list));
  const std::string key = EncodeHex(pair.publicKey);
  EXPECT_TRUE(IsListSignedBy(list, file, key));
  EXPECT_FALSE(IsListSignedBy(list, file, EncodeHex(other.publicKey)));
  EXPECT_FALSE(IsListSignedBy(list + " ", file, key));
  EXPECT_FALSE(IsListSignedBy(list, file.substr(0, 100), key));
  EXPECT_FALSE(IsListSignedBy(list, "", key));
  EXPECT_FALSE(IsListSignedBy(list, file, key.substr(2)));  // an unreadable key verifies nothing
  EXPECT_FALSE(IsListSignedBy(list, file, ""));
}

}  // namespace
