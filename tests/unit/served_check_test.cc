// crv3publish check over a stand-in transport: every way a server can serve
// something other than the publication is one line naming the file, and the
// files are asked for under the URLs the launcher asks for.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "base/hex_text.h"
#include "base/sha256.h"
#include "base/utf8.h"
#include "lists/block_index.h"
#include "lists/list_signature.h"
#include "publish/code_page.h"
#include "publish/list_writer.h"
#include "publish/served_check.h"
#include "publish/signing.h"

namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr char kBase[] = "https://updates.example.com/cv3down/";

struct Served {
  long status = 200;
  std::string body;
  bool compressed = false;
  std::string failure;
  std::chrono::seconds took{0};  // how long the body took to arrive
};

// Answers from a table keyed by URL (404 for the rest), a body that breaks
// the bound it is asked with as a failure, and records the order of
// requests; a range of a served file as nginx gives it unless `range` says
// otherwise.
struct TableFetch : HttpFetch {
  std::map<std::string, Served> table;
  std::vector<std::string> asked;
  std::optional<FetchAnswer> range;
  std::vector<std::string> rangesAsked;

  FetchAnswer GetRange(const std::u16string& url, uint64_t first, uint64_t last) override {
    rangesAsked.push_back(ToUtf8(url) + " " + std::to_string(first) + "-" + std::to_string(last));
    const std::string size = std::to_string(table[ToUtf8(url)].body.size());
    return range.value_or(FetchAnswer{"", 206, false, "bytes 0-0/" + size});
  }

  FetchAnswer Get(const std::u16string& url, const BodyBound& bound,
                  const BodyPiece& piece) override {
    asked.push_back(ToUtf8(url));
    const auto found = table.find(asked.back());
    const Served served = found == table.end() ? Served{404, "not found", false, ""} : found->second;
    const std::string breach = BoundBreach(bound, served.body.size(), served.took);
    if (!breach.empty()) return {breach, served.status, served.compressed, ""};
    // In two pieces, as a transport hands them over.
    piece(std::string_view(served.body).substr(0, served.body.size() / 2));
    piece(std::string_view(served.body).substr(served.body.size() / 2));
    return {served.failure, served.status, served.compressed, ""};
  }
};

std::string Cp949(const char* utf8) { return EncodeCodePage949(*FromUtf8(utf8)).value(); }

class ServedCheckTest : public ::testing::Test {
 protected:
  // A signed publication: the list of files (by list name) and their bodies
  // under the URLs the launcher requests.
  void Publish(const std::map<std::string, std::string>& files) {
    PublishedList list;
    for (const auto& [name, body] : files) list[name] = ListEntry{1, Sha256Of(body)};
    list_ = WriteListText(list);
    fetch_.table[std::string(kBase) + "filelist.txt"] = {200, list_, false, ""};
    fetch_.table[std::string(kBase) + "filelist.txt.sig"] = {
        200, FormatSignatureFile(SignMessage(key_->privateKeyPem, list_)), false, ""};
    for (const auto& [name, body] : files) {
      if (DecodeCodePage949(name)) fetch_.table[UrlOf(name)] = {200, body, false, ""};
    }
  }

  std::string UrlOf(const std::string& listName) {
    std::string url = kBase;
    for (const unsigned char byte : ToUtf8(*DecodeCodePage949(listName))) {
      static const char kHex[] = "0123456789ABCDEF";
      if (byte < 0x80 && byte != ' ') {
        url += static_cast<char>(byte);
      } else {
        url += {'%', kHex[byte >> 4], kHex[byte & 15]};
      }
    }
    return url;
  }

  Outcome Check(bool withKey = true) {
    progress_.clear();
    return CheckServed(FromUtf8(kBase).value(),
                       withKey ? std::optional<std::string>(EncodeHex(key_->publicKey))
                               : std::nullopt,
                       fetch_, [this](const std::string& line) { progress_.push_back(line); });
  }

  const std::optional<SigningKeyPair> key_ = GenerateSigningKeyPair();
  TableFetch fetch_;
  std::string list_;
  std::vector<std::string> progress_;
};

const std::map<std::string, std::string> kFiles = {
    {"crv3v2.exe", "MZ app"},
    {"config.i.zip", "[a]\r\n"},
    {Cp949("도움말/안내 1.txt"), "안내"},
};

TEST_F(ServedCheckTest, ACleanPublicationAsksTheLauncherUrlsAndPasses) {
  Publish(kFiles);

  const Outcome outcome = Check();

  EXPECT_THAT(outcome.errors, IsEmpty());
  EXPECT_THAT(outcome.notes, ElementsAre(std::string(kBase) + ": 3 listed files, all served, 3 with "
                                         "their SHA-256 checked, the list signed by the key"));
  EXPECT_THAT(fetch_.asked,
              ElementsAre(std::string(kBase) + "filelist.txt", std::string(kBase) + "filelist.txt.sig",
                          std::string(kBase) + "config.i.zip", std::string(kBase) + "crv3v2.exe",
                          std::string(kBase) + "%EB%8F%84%EC%9B%80%EB%A7%90/%EC%95%88%EB%82%B4%201.txt"));
  EXPECT_THAT(progress_, IsEmpty());
  EXPECT_THAT(fetch_.rangesAsked, ElementsAre(std::string(kBase) + "config.i.zip 0-0"));
}

struct Fault {
  const char* what;
  std::function<void(std::map<std::string, Served>&, const std::string& sig)> plant;
  std::string error;
};

TEST_F(ServedCheckTest, EachProblemIsOneLineNamingItThenASummary) {
  const std::string exe = std::string(kBase) + "crv3v2.exe";
  const Fault faults[] = {
      {"a file missing", [&](auto& t, auto&) { t.erase(exe); }, "crv3v2.exe: answered HTTP 404"},
      {"an extension refused", [&](auto& t, auto&) { t[exe].status = 403; },
       "crv3v2.exe: answered HTTP 403"},
      {"a stale file", [&](auto& t, auto&) { t[exe].body = "MZ old"; },
       "crv3v2.exe: the served body differs from the listed SHA-256 (a stale or wrong upload)"},
      {"a stale .gz", [&](auto& t, auto&) { t[exe] = {200, "MZ old", true, ""}; },
       "crv3v2.exe: the served body differs from the listed SHA-256 (a stale or wrong upload, or a "
       "stale precompressed .gz beside it: it came gzip-compressed)"},
      {"a .gz that does not decompress",
       [&](auto& t, auto&) { t[exe] = {200, "", true, "Error while processing content unencoding"}; },
       "crv3v2.exe: cannot be fetched: Error while processing content unencoding"},
      {"a signature by another key",
       [&](auto& t, auto& sig) {
         t[sig].body = FormatSignatureFile(SignMessage(GenerateSigningKeyPair()->privateKeyPem, list_));
       },
       "filelist.txt.sig: not a signature of the served list by this key"},
      {"a signed line without its SHA-256",
       [&](auto& t, auto& sig) {
         list_.erase(list_.find("crv3v2.exe|1|") + 12, 65);
         t[std::string(kBase) + "filelist.txt"].body = list_;
         t[sig].body = FormatSignatureFile(SignMessage(key_->privateKeyPem, list_));
       },
       "crv3v2.exe: its line has no SHA-256; launchers built with the key fail it"},
      {"no signature", [&](auto& t, auto& sig) { t.erase(sig); },
       "filelist.txt.sig: answered HTTP 404; launchers built with the key take the list as no list"},
      {"a signature without end",
       [&](auto& t, auto& sig) { t[sig].body += std::string(kListSignatureSizeLimit, '\n'); },
       "filelist.txt.sig: cannot be fetched: the body passed its limit of 4096 bytes"},
      {"a signature that trickles", [&](auto& t, auto& sig) { t[sig].took = 61s; },
       "filelist.txt.sig: cannot be fetched: the body took longer than 60 s"},
      {"a file that trickles", [&](auto& t, auto&) { t[exe].took = 61s; },
       "crv3v2.exe: cannot be fetched: the body came slower than 16384 bytes a second"},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.what);
    Publish(kFiles);
    fault.plant(fetch_.table, std::string(kBase) + "filelist.txt.sig");

    const Outcome outcome = Check();

    ASSERT_EQ(outcome.errors.size(), 2u) << ::testing::PrintToString(outcome.errors);
    EXPECT_THAT(outcome.errors[0], HasSubstr(fault.error));
    EXPECT_EQ(outcome.errors[1], std::string(kBase) + ": 3 listed files, 1 problems: launchers fail "
                                 "these files or take the list as no list");
    EXPECT_THAT(outcome.notes, IsEmpty());
  }
}

std::string IndexOf(const std::string& body) {
  BlockIndexBuilder builder(body.size());
  builder.Add(body);
  return FormatBlockIndex(*builder.Finish(Sha256Of(body)));
}

// Each way a large file's index or the server's ranges let launchers down is
// a warning, never an error: they fetch the file whole and still update.
TEST_F(ServedCheckTest, ALargeFileHasItsIndexCheckedAndOneRangeIsAskedOfIt) {
  const std::string big(kBlockIndexThreshold, 'b');
  const std::string index = std::string(kBase) + "big.bin.crv3blocks";
  const struct {
    const char* what;
    std::function<void(TableFetch&)> plant;
    const char* warning;
  } cases[] = {
      {"all fits", [](TableFetch&) {}, nullptr},
      {"no index", [&](TableFetch& f) { f.table.erase(index); },
       "big.bin.crv3blocks: answered HTTP 404; launchers fetch big.bin whole"},
      {"a stale index",
       [&](TableFetch& f) { f.table[index].body = IndexOf(std::string(big.size(), 'o')); },
       "big.bin.crv3blocks: not the block index of the listed bytes; launchers fetch big.bin "
       "whole"},
      {"an index without end",
       [&](TableFetch& f) { f.table[index].body.resize(MaxBlockIndexSize(big.size()) + 1); },
       "big.bin.crv3blocks: cannot be fetched: the body passed its limit of 12344 bytes"},
      {"ranges off", [](TableFetch& f) { f.range = FetchAnswer{"", 200, false, ""}; },
       "ranges off (bytes=0-0 answered HTTP 200): launchers fetch whole files"},
      {"a range of the .gz",
       [](TableFetch& f) { f.range = FetchAnswer{"", 206, true, "bytes 0-0/9"}; },
       "ranges off (bytes=0-0 came content-coded, a range of a .gz rather than of the file)"},
      {"another range", [](TableFetch& f) { f.range = FetchAnswer{"", 206, false, "bytes 0-9/9"}; },
       "ranges off (bytes=0-0 came as \"bytes 0-9/9\", not \"bytes 0-0/8388608\")"},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.what);
    fetch_ = TableFetch();
    Publish({{"a.dat", "a"}, {"big.bin", big}});
    fetch_.table[index] = {200, IndexOf(big), false, ""};
    each.plant(fetch_);

    const Outcome outcome = Check();

    EXPECT_THAT(outcome.errors, IsEmpty());
    EXPECT_THAT(fetch_.rangesAsked, ElementsAre(std::string(kBase) + "big.bin 0-0"));
    if (!each.warning) {
      EXPECT_THAT(outcome.warnings, IsEmpty());
      EXPECT_THAT(outcome.notes, ElementsAre(HasSubstr("2 with their SHA-256 checked, 1 block "
                                                       "indices fitting them")));
    } else {
      EXPECT_THAT(outcome.warnings, ElementsAre(HasSubstr(each.warning)));
    }
  }
}

TEST_F(ServedCheckTest, NoListIsTheOnlyProblemAndWithoutAKeyNoSignatureIsAsked) {
  Publish(kFiles);
  fetch_.table[std::string(kBase) + "filelist.txt"].failure = "Could not resolve host";
  EXPECT_THAT(Check().errors,
              ElementsAre(std::string(kBase) + "filelist.txt: cannot be fetched: Could not resolve host"));
  EXPECT_EQ(fetch_.asked.size(), 1u);

  Publish(kFiles);
  fetch_.table[std::string(kBase) + "filelist.txt"].body.resize(kServerListSizeLimit + 1, '\n');
  EXPECT_THAT(Check().errors, ElementsAre(std::string(kBase) + "filelist.txt: cannot be fetched: "
                                          "the body passed its limit of 33554432 bytes"));

  Publish(kFiles);
  fetch_.table.erase(std::string(kBase) + "filelist.txt.sig");
  fetch_.asked.clear();
  EXPECT_THAT(Check(/*withKey=*/false).errors, IsEmpty());
  EXPECT_EQ(fetch_.asked.size(), 4u);
}

TEST_F(ServedCheckTest, NamesTheLauncherNeverFetchesAreReportedAndNotAsked) {
  Publish({{"nul", "x"}, {"\xFF\xFF", "y"}, {"a.dat", "a"}});

  EXPECT_THAT(Check().errors,
              ElementsAre("nul: the launcher refuses to store this name",
                          "\xFF\xFF: not readable in code page 949", HasSubstr("2 problems")));
  EXPECT_EQ(fetch_.asked.back(), std::string(kBase) + "a.dat");
  EXPECT_EQ(fetch_.asked.size(), 3u);
}

TEST_F(ServedCheckTest, ALargePublicationShowsHowFarTheCheckHasCome) {
  std::map<std::string, std::string> files;
  for (int i = 0; i < 600; ++i) files["f" + std::to_string(i)] = std::string(100, 'x');
  Publish(files);

  EXPECT_THAT(Check().errors, IsEmpty());
  EXPECT_THAT(progress_, ElementsAre("checking: 250 of 600 files, 0.0 MB",
                                     "checking: 500 of 600 files, 0.0 MB",
                                     "checking: 600 of 600 files, 0.1 MB"));
}

}  // namespace
