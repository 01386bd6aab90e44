#include "app/update_pass.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <random>

#include "base/hex_text.h"
#include "base/sha256.h"
#include "lists/block_index.h"
#include "tests/unit/fake_platform.h"

namespace {

using namespace std::string_literals;
using testing::ElementsAre;

const std::string kUrl = Utf8(std::u16string(BaseUrl));
const std::u16string kLocalList = u"C:\\corvane3\\local_list.txt";
const std::u16string kInfoFile = u"C:\\corvane3\\cv3info.ini";
const std::string kReadLocalList = "ReadTextFile(C:\\corvane3\\local_list.txt)";
// A launcher with a key tells a record it cannot read from a missing one.
const std::string kReadKeptLocalList = "ReadKeptFile(C:\\corvane3\\local_list.txt)";
const std::string kReadInfoFile = "ReadTextFile(C:\\corvane3\\cv3info.ini)";
const std::string kReadKeptRelease = "ReadKeptFile(C:\\corvane3\\release_number.txt)";
const std::string kWriteLocalList = "WriteTextFile(C:\\corvane3\\local_list.txt)";
const std::string kFailureHeading = "다음 파일 다운로드에 실패했습니다:\n\n";
const std::u16string kFailureHeading16 = u"다음 파일 다운로드에 실패했습니다:\n\n";
const std::string kCompletionBox = "ShowMessage(업데이트가 완료되었습니다. 프로그램을 재시작합니다|알림|64)";

std::string Download(const std::string& listed, const std::string& stored,
                     const std::string& digestHex = "") {
  return "DownloadFile(" + kUrl + listed + "|C:\\corvane3\\" + stored + "|" + stored +
         (digestHex.empty() ? "" : "|sha256=" + digestHex) + ")";
}

std::string WarningBox(const std::string& names) {
  return "ShowMessage(" + kFailureHeading + names + "|경고|48)";
}

class UpdatePassTest : public testing::Test {
 protected:
  bool Run(const std::string& serverText) {
    return RunUpdatePass(serverText, false, platform, MakeAppPaths()) == PassResult::kFinished;
  }
  PassResult RunSigned(const std::string& serverText) {
    platform.calls.clear();
    return RunUpdatePass(serverText, true, platform, MakeAppPaths());
  }
  void FailDownloadOf(const std::u16string& listedName) {
    platform.failingDownloads.insert(std::u16string(BaseUrl) + listedName);
  }
  std::optional<std::string> LocalList() const {
    const auto found = platform.files.find(kLocalList);
    if (found == platform.files.end()) return std::nullopt;
    return found->second;
  }
  FakePlatform platform;
};

TEST_F(UpdatePassTest, RunningCopiesThatStayCancelBeforeAnythingIsRead) {
  platform.closeResult = false;
  EXPECT_FALSE(Run("Bin/Viewer.EXE|3\na.dll|1\ncrv3v2.exe|2\n"));
  EXPECT_THAT(platform.calls,
              ElementsAre("CloseRunningApplications(Viewer.EXE,crv3v2.exe)",
                          "ShowMessage(업데이트를 취소했습니다.|알림|64)"));
}

TEST_F(UpdatePassTest, NothingToDoShowsNothingAndKeepsTheRecord) {
  const std::string server = "a.dll|2\r\nrun.exe|2\r\n";
  platform.files[kLocalList] = "a.dll|2\nrun.exe|2\n";
  platform.existingPaths = {u"C:\\corvane3\\a.dll", u"C:\\corvane3\\run.exe"};
  EXPECT_TRUE(Run(server));
  EXPECT_THAT(platform.calls,
              ElementsAre("CloseRunningApplications(run.exe)", kReadLocalList, kReadInfoFile,
                          "PathExists(C:\\corvane3\\a.dll)", "PathExists(C:\\corvane3\\run.exe)",
                          // Partials of files at other releases go even when nothing is fetched.
                          "SettlePartialDownloads(C:\\corvane3|C:\\corvane3\\a.dll=2|,"
                          "C:\\corvane3\\run.exe=2|)"));
  EXPECT_EQ(LocalList(), "a.dll|2\nrun.exe|2\n");
}

TEST_F(UpdatePassTest, FiveFilesCountUpResetTheBarAndReportAfterTheWindowIsGone) {
  platform.files[kLocalList] = "a|0\nb|0\nc|0\nd|0\ne|0\n";
  FailDownloadOf(u"c");
  EXPECT_TRUE(Run("e|1\nd|1\nc|1\nb|1\na|1\n"));
  EXPECT_THAT(
      platform.calls,
      ElementsAre("CloseRunningApplications()", kReadLocalList, kReadInfoFile,
                  "SettlePartialDownloads(C:\\corvane3|C:\\corvane3\\a=1|,C:\\corvane3\\b=1|,"
                  "C:\\corvane3\\c=1|,C:\\corvane3\\d=1|,C:\\corvane3\\e=1|)",
                  "CreateProgressWindow()", "SetFileListText(a,b,c,d,e)",
                  "SetOverallProgressText(0/5)",
                  "SetOverallProgressText(1/5)", Download("a", "a"), "ResetProgressBar()",
                  "SetOverallProgressText(2/5)", Download("b", "b"), "ResetProgressBar()",
                  "SetOverallProgressText(3/5)", Download("c", "c"), "ResetProgressBar()",
                  "SetOverallProgressText(4/5)", Download("d", "d"), "ResetProgressBar()",
                  "SetOverallProgressText(5/5)", Download("e", "e"), "ResetProgressBar()",
                  "DestroyProgressWindow()", WarningBox("c\n"), kWriteLocalList, kCompletionBox));
  EXPECT_EQ(LocalList(), "e|1\nd|1\nb|1\na|1\n");
}

TEST_F(UpdatePassTest, ZippedIniIsFetchedAsListedStoredAndReportedAsIni) {
  FailDownloadOf(u"config.i.zip");
  EXPECT_TRUE(Run("config.i.zip|2\nData/Setup.I.ZIP|2\n"));
  EXPECT_THAT(platform.CallsTo("DownloadFile"),
              ElementsAre(Download("Data/Setup.I.ZIP", "Data/Setup.ini"),
                          Download("config.i.zip", "config.ini")));
  EXPECT_THAT(platform.CallsTo("ShowMessage"), ElementsAre(WarningBox("config.ini\n"), kCompletionBox));
  EXPECT_EQ(LocalList(), "Data/Setup.I.ZIP|2\n");
}

TEST_F(UpdatePassTest, TwelveFailuresListTenAndCountTheRest) {
  std::string server;
  for (int i = 1; i <= 12; ++i) {
    const std::string name = "f" + std::string(i < 10 ? "0" : "") + std::to_string(i);
    server += name + "|1\n";
    FailDownloadOf(std::u16string(name.begin(), name.end()));
  }
  platform.files[kLocalList] = "f01|0\n";
  EXPECT_TRUE(Run(server));
  // All failed and a record existed: it stays, and no completion box follows.
  EXPECT_EQ(platform.calls.back(),
            WarningBox("f01\nf02\nf03\nf04\nf05\nf06\nf07\nf08\nf09\nf10\n... 외 2개"));
  EXPECT_EQ(LocalList(), "f01|0\n");
}

// A name from a hostile list can be megabytes long; the box shows its start.
TEST(FormatFailureSummaryTest, CutsNamesLongerThanAnyStorablePath) {
  const std::u16string fits(260, u'a');
  EXPECT_EQ(FormatFailureSummary({fits}), kFailureHeading16 + fits + u"\n");
  EXPECT_EQ(FormatFailureSummary({std::u16string(10 * 1024 * 1024, u'b'), u"c"}),
            kFailureHeading16 + std::u16string(260, u'b') + u"...\nc\n");
  // A surrogate pair that the cut would split goes whole.
  const std::u16string pairAtCut = std::u16string(259, u'd') + u"\U0001F600" + u"e";
  EXPECT_EQ(FormatFailureSummary({pairAtCut}),
            kFailureHeading16 + std::u16string(259, u'd') + u"...\n");
}

TEST(FormatFailureSummaryTest, ListsAtMostTenNamesThenCountsTheRest) {
  std::vector<std::u16string> names;
  for (int i = 0; i < 10; ++i) names.push_back(std::u16string(1, static_cast<char16_t>(u'a' + i)));
  EXPECT_EQ(Utf8(FormatFailureSummary({u"설정.ini"})), kFailureHeading + "설정.ini\n");
  EXPECT_EQ(Utf8(FormatFailureSummary(names)), kFailureHeading + "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\n");
  names.push_back(u"k");
  EXPECT_EQ(Utf8(FormatFailureSummary(names)),
            kFailureHeading + "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\n... 외 1개");
  names.resize(1234, u"x");
  EXPECT_EQ(Utf8(FormatFailureSummary(names)),
            kFailureHeading + "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\n... 외 1224개");
}

struct RecordCase {
  const char* description;
  std::string localText;
  std::string infoText;
  std::vector<std::u16string> failing;
  std::optional<std::string> written;  // nullopt: local_list.txt untouched
  bool completed;
};

void PrintTo(const RecordCase& c, std::ostream* os) { *os << c.description; }

class RecordTest : public UpdatePassTest, public testing::WithParamInterface<RecordCase> {};

TEST_P(RecordTest, WritesServerListWithoutFailedFilesOnlyWhenDue) {
  const RecordCase& c = GetParam();
  if (!c.localText.empty()) platform.files[kLocalList] = c.localText;
  if (!c.infoText.empty()) platform.files[kInfoFile] = c.infoText;
  platform.existingPaths = {u"C:\\corvane3\\a", u"C:\\corvane3\\b"};
  for (const auto& name : c.failing) FailDownloadOf(name);

  EXPECT_TRUE(Run("a|2\r\nb|2\r\n"));
  EXPECT_EQ(platform.CallsTo("WriteTextFile").size(), c.written ? 1u : 0u);
  EXPECT_EQ(LocalList(), c.written ? c.written : std::optional<std::string>(c.localText));
  EXPECT_EQ(platform.CallsTo(kCompletionBox).size(), c.completed ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordTest,
    testing::Values(
        RecordCase{"first run, all stored", "", "", {}, "a|2\r\nb|2\r\n", true},
        RecordCase{"first run, one failed", "", "", {u"b"}, "a|2\r\n", true},
        RecordCase{"first run, all failed", "", "", {u"a", u"b"}, "", false},
        RecordCase{"update, one failed", "a|1\nb|1\n", "", {u"a"}, "b|2\r\n", true},
        RecordCase{"update, all failed", "a|1\nb|1\n", "", {u"a", u"b"}, std::nullopt, false},
        RecordCase{"nothing selected, record kept", "a|2\nb|2\n", "", {}, std::nullopt, false},
        RecordCase{"nothing selected, record missing", "", "fn=a\nver=2\n[s]\nfn=b\nver=3\n", {},
                   "a|2\r\nb|2\r\n", false}),
    [](const testing::TestParamInfo<RecordCase>& info) {
      std::string name;
      for (const char* p = info.param.description; *p; ++p) {
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      }
      return name;
    });

TEST_F(UpdatePassTest, RecordDropsEveryLineOfAFailedNameAndKeepsAllOtherBytes) {
  FailDownloadOf(u"b");
  // A BOM, CR LF and LF ends, blank lines, a CR inside a line, duplicates,
  // and a last line without its end. "b " and "B." are stored over "b", so
  // their lines go too; " b" and "a/b" are other files.
  EXPECT_TRUE(Run("\xEF\xBB\xBF" "first|1\r\n"
                  "b|1\r\n"
                  "\r\n"
                  "  \n"
                  "b|7\rz|2\n"
                  " b|1\n"
                  "b |3\n"
                  "a/b|4\n"
                  "b\n"
                  "c|5|6\n"
                  "B.|8\n"
                  "b|2"));
  EXPECT_EQ(LocalList(), "\xEF\xBB\xBF" "first|1\r\n"
                         "\r\n"
                         "  \n"
                         " b|1\n"
                         "a/b|4\n"
                         "c|5|6\n");
}

struct UnsafeNameCase {
  std::string listed;
  std::string reported;
};

void PrintTo(const UnsafeNameCase& c, std::ostream* os) { *os << testing::PrintToString(c.listed); }

class UnsafeNameTest : public UpdatePassTest, public testing::WithParamInterface<UnsafeNameCase> {};

// Such a name would write outside the application directory or over the
// directory itself: it is never fetched, counts as failed and is not recorded.
TEST_P(UnsafeNameTest, IsNeverFetchedAndCountsAsFailed) {
  const UnsafeNameCase& c = GetParam();
  EXPECT_TRUE(Run(c.listed + "|1\nok.dll|1\n"));
  EXPECT_THAT(platform.CallsTo("DownloadFile"), ElementsAre(Download("ok.dll", "ok.dll")));
  EXPECT_THAT(platform.CallsTo("SetOverallProgressText"),
              ElementsAre("SetOverallProgressText(0/2)", "SetOverallProgressText(1/2)",
                          "SetOverallProgressText(2/2)"));
  EXPECT_THAT(platform.CallsTo("ShowMessage"),
              ElementsAre(WarningBox(c.reported + "\n"), kCompletionBox));
  EXPECT_EQ(LocalList(), "ok.dll|1\n");
}

// Which names are storable is IsStorableName's table; these are the ways the
// pass lists a refused name.
INSTANTIATE_TEST_SUITE_P(
    Cases, UnsafeNameTest,
    testing::Values(UnsafeNameCase{"../evil.dll", "../evil.dll"},
                    UnsafeNameCase{"../x.i.zip", "../x.ini"},
                    UnsafeNameCase{"x.dll::$DATA", "x.dll::$DATA"},
                    UnsafeNameCase{std::string(300, 'n'), std::string(260, 'n') + "..."},
                    UnsafeNameCase{"", ""},
                    UnsafeNameCase{"\0hidden.dll"s, ""}));

// The digest of the last line naming a file goes with its download; a file
// without one is fetched as before. A hashed file that fails is handled like
// any failure.
TEST_F(UpdatePassTest, ListedDigestsTravelWithTheirDownloads) {
  const std::string d1(64, '1');
  const std::string d2(64, 'a');
  FailDownloadOf(u"bad.dat");
  platform.files[kLocalList] = "old|1\n";
  EXPECT_TRUE(Run("plain.dat|1\n"
                  "hashed.dat|1|" + d1 + "\r\n"
                  "config.i.zip|2|" + d2 + "\n"
                  "bad.dat|3|" + d2 + "\n"
                  "later.dat|1|" + d1 + "\nlater.dat|2\n"
                  "odd.dat|4|5\n"));
  EXPECT_THAT(platform.CallsTo("DownloadFile"),
              ElementsAre(Download("bad.dat", "bad.dat", d2),
                          Download("config.i.zip", "config.ini", d2),
                          Download("hashed.dat", "hashed.dat", d1),
                          Download("later.dat", "later.dat"), Download("odd.dat", "odd.dat"),
                          Download("plain.dat", "plain.dat")));
  EXPECT_THAT(platform.CallsTo("ShowMessage"), ElementsAre(WarningBox("bad.dat\n"), kCompletionBox));
  EXPECT_EQ(LocalList(), "plain.dat|1\n"
                         "hashed.dat|1|" + d1 + "\r\n"
                         "config.i.zip|2|" + d2 + "\n"
                         "later.dat|1|" + d1 + "\nlater.dat|2\n"
                         "odd.dat|4|5\n");
}

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937_64 generator(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator());
  return bytes;
}

std::string IndexOf(const std::string& file) {
  BlockIndexBuilder builder(file.size());
  builder.Add(file);
  return FormatBlockIndex(*builder.Finish(Sha256Of(file)));
}

// Each request as its plan's runs: "h<offset>+<length>" copied, "f+<length>"
// fetched, or "whole".
std::vector<std::string> Plans(const std::vector<DownloadRequest>& requests) {
  std::vector<std::string> plans;
  for (const DownloadRequest& request : requests) {
    std::string text = request.plan ? "" : "whole";
    for (const AssemblyRun& run : request.plan ? request.plan->runs : std::vector<AssemblyRun>()) {
      text += (run.held ? " h" + std::to_string(run.heldOffset) : std::string(" f")) + "+" +
              std::to_string(run.length);
    }
    plans.push_back(text);
  }
  return plans;
}

// Only a large installed copy of a file the list gives a digest for is
// searched, and only with an index of that very digest.
TEST_F(UpdatePassTest, LargeInstalledCopiesAreReusedByTheirListedDigestsIndex) {
  const std::string installed = RandomBytes(kBlockIndexThreshold + 1000, 1);
  std::string changed = installed;
  changed.replace(5 << 20, 10, "0123456789");
  const std::string digest = EncodeHex(Sha256Of(changed));
  for (const char16_t* name : {u"big.dat", u"other.dat", u"plain.dat"}) {
    platform.files[u"C:\\corvane3\\" + std::u16string(name)] = installed;
    platform.blockIndices[std::u16string(BaseUrl) + name + u".crv3blocks"] = IndexOf(changed);
  }
  platform.fileSizes[u"C:\\corvane3\\small.dat"] = kBlockIndexThreshold - 1;
  platform.files[kLocalList] = "old|1\n";

  EXPECT_TRUE(Run("big.dat|2|" + digest + "\nother.dat|2|" + std::string(64, 'a') +
                  "\nplain.dat|2\nsmall.dat|2|" + digest + "\n"));
  EXPECT_THAT(platform.CallsTo("FetchBlockIndex"),
              ElementsAre("FetchBlockIndex(" + kUrl + "big.dat.crv3blocks)",
                          "FetchBlockIndex(" + kUrl + "other.dat.crv3blocks)"));
  EXPECT_THAT(platform.CallsTo("ReadFileInPieces"),
              ElementsAre("ReadFileInPieces(C:\\corvane3\\big.dat)"));
  const uint64_t block = BlockSizeFor(changed.size());
  const uint64_t after = (5 << 20) + block;
  EXPECT_THAT(Plans(platform.requests),
              ElementsAre(" h0+5242880 f+" + std::to_string(block) + " h" + std::to_string(after) +
                              "+" + std::to_string(changed.size() - after),
                          "whole", "whole", "whole"));
  EXPECT_EQ(platform.requests[0].release, "2|" + digest);
  EXPECT_EQ(platform.requests[2].release, "2|");
}

TEST_F(UpdatePassTest, NamesWindowsStoresInsideAreFetchedAsListed) {
  const std::string longest(247, 'n');
  EXPECT_TRUE(Run("a.dll | 5\n/lead.dat|1\ndir./x.dat|1\n" + longest + "|1\n"));
  EXPECT_THAT(platform.CallsTo("DownloadFile"),
              ElementsAre(Download("/lead.dat", "/lead.dat"), Download("a.dll ", "a.dll "),
                          Download("dir./x.dat", "dir./x.dat"), Download(longest, longest)));
  EXPECT_THAT(platform.CallsTo("ShowMessage"), ElementsAre(kCompletionBox));
  EXPECT_EQ(LocalList(), "a.dll | 5\n/lead.dat|1\ndir./x.dat|1\n" + longest + "|1\n");
}

// A line as a publisher signs it: name, version and a digest.
std::string Hashed(const std::string& name, int64_t version, char digit = 'd') {
  return name + "|" + std::to_string(version) + "|" + std::string(64, digit) + "\r\n";
}

std::string Release(int64_t version, const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += Hashed(name, version);
  return text;
}

// Release 9 installed by a launcher that trusts only signed lists. Old
// signed lists stay valid, so anyone can serve them again.
class SignedReplayTest : public UpdatePassTest {
 protected:
  void SetUp() override {
    platform.files[kLocalList] = kRelease9;
    // config.i.zip is stored as config.ini: its listed name is never present.
    platform.existingPaths = {u"C:\\corvane3\\config.ini", u"C:\\corvane3\\crv3v2.exe",
                              u"C:\\corvane3\\data.dat"};
  }
  // A replay: taken as no list before anything is closed, fetched or written.
  void ExpectStale(const std::string& serverText) {
    const std::string before = *LocalList();
    EXPECT_EQ(RunSigned(serverText), PassResult::kStaleList);
    EXPECT_THAT(platform.calls, ElementsAre(kReadKeptRelease, kReadKeptLocalList, kReadInfoFile));
    EXPECT_EQ(LocalList(), before);
  }
  const std::string kRelease9 = Release(9, {"config.i.zip", "crv3v2.exe", "data.dat"});
};

TEST_F(SignedReplayTest, OlderReleasesInstallNothingAndANewerOneStillUpdates) {
  ExpectStale(Release(3, {"config.i.zip", "crv3v2.exe", "data.dat"}));
  ExpectStale(Release(5, {"config.i.zip", "crv3v2.exe", "data.dat"}));
  // One older name is enough, however new the rest.
  ExpectStale(Release(10, {"config.i.zip", "crv3v2.exe"}) + Hashed("data.dat", 8));

  const std::string release10 = Release(10, {"config.i.zip", "crv3v2.exe", "data.dat"});
  EXPECT_EQ(RunSigned(release10), PassResult::kFinished);
  EXPECT_THAT(std::vector<std::string>(platform.calls.begin(), platform.calls.begin() + 4),
              ElementsAre(kReadKeptRelease, kReadKeptLocalList, kReadInfoFile,
                          "CloseRunningApplications(crv3v2.exe)"));
  EXPECT_EQ(platform.CallsTo("DownloadFile").size(), 3u);
  EXPECT_EQ(LocalList(), release10);
}

TEST_F(SignedReplayTest, ARecordNeverForgetsAVersionThatAListLeavesOutOrFailsToReplace) {
  // data.dat left out, crv3v2.exe failing: both keep their recorded lines.
  FailDownloadOf(u"crv3v2.exe");
  EXPECT_EQ(RunSigned(Release(10, {"config.i.zip", "crv3v2.exe"})), PassResult::kFinished);
  EXPECT_EQ(LocalList(), Hashed("config.i.zip", 10) + Hashed("crv3v2.exe", 9) +
                             Hashed("data.dat", 9));
  ExpectStale(Hashed("data.dat", 3));
  ExpectStale(Hashed("crv3v2.exe", 5));
}

// Other spellings of a recorded file: "config.ini" (--keep-ini), case, dots.
TEST_F(SignedReplayTest, OtherSpellingsOfARecordedFileAreThatFile) {
  ExpectStale(Hashed("Config.ini", 5));
  ExpectStale(Hashed("CRV3V2.EXE", 9) + Hashed("./Data.dat.", 8));

  // A failed download keeps the line of the file's other spelling.
  const std::string release10 =
      Hashed("config.ini", 10) + Hashed("crv3v2.exe", 9) + Hashed("new.dat", 10);
  FailDownloadOf(u"config.ini");
  EXPECT_EQ(RunSigned(release10), PassResult::kFinished);
  EXPECT_EQ(LocalList(), Hashed("crv3v2.exe", 9) + Hashed("new.dat", 10) +
                             Hashed("config.i.zip", 9) + Hashed("data.dat", 9));
  platform.failingDownloads.clear();
  EXPECT_EQ(RunSigned(release10), PassResult::kFinished);
  EXPECT_EQ(LocalList(), release10 + Hashed("data.dat", 9));
  // The release before, served again, would put its bytes back.
  ExpectStale(kRelease9);
}

// A numbered list is held to its number, not to the recorded versions: a
// name may come back lower, and a listed digest other than the recorded one
// selects its file as a newer version would. A file whose bytes are recorded
// stays, whatever its version; one that failed is compared with its kept line.
TEST_F(SignedReplayTest, NumberedListsSelectByDigestWhateverTheVersions) {
  const std::string numbered = "config.i.zip|3|" + std::string(64, 'd') + "|r7\r\n" +
                               Hashed("crv3v2.exe", 2, 'e') + Hashed("data.dat", 9, 'e') +
                               Hashed("new.dat", 1, 'e');
  FailDownloadOf(u"data.dat");
  EXPECT_EQ(RunSigned(numbered), PassResult::kFinished);
  // config.i.zip is fetched at every start: its listed name is never present.
  const std::string config = Download("config.i.zip", "config.ini", std::string(64, 'd'));
  EXPECT_THAT(platform.CallsTo("DownloadFile"),
              ElementsAre(config, Download("crv3v2.exe", "crv3v2.exe", std::string(64, 'e')),
                          Download("data.dat", "data.dat", std::string(64, 'e')),
                          Download("new.dat", "new.dat", std::string(64, 'e'))));
  EXPECT_EQ(RunSigned(numbered), PassResult::kFinished);
  EXPECT_THAT(platform.CallsTo("DownloadFile"),
              ElementsAre(config, Download("data.dat", "data.dat", std::string(64, 'e'))));
}

// Downloaded, it would overwrite the kept number with the vendor's bytes
// and refuse every list after it.
TEST_F(SignedReplayTest, TheKeptReleaseFileIsNeverFetched) {
  EXPECT_EQ(RunSigned(Hashed("/Release_Number.txt.", 1)), PassResult::kFinished);
  EXPECT_THAT(platform.CallsTo("DownloadFile"), testing::IsEmpty());
  EXPECT_THAT(platform.CallsTo("ShowMessage"), ElementsAre(WarningBox("/Release_Number.txt.\n")));
}

// With a key, a selected line without a well-formed digest fails unfetched,
// like a body of the wrong digest; a current one is left alone.
TEST_F(SignedReplayTest, SelectedLinesWithoutADigestFailUnfetched) {
  const std::string fetched = Hashed("new.dat", 10, 'e');
  EXPECT_EQ(RunSigned("config.i.zip|9\r\ncrv3v2.exe|9\r\ndata.dat|10|" + std::string(63, 'd') +
                      "\r\n" + fetched),
            PassResult::kFinished);
  EXPECT_THAT(platform.CallsTo("DownloadFile"),
              ElementsAre(Download("new.dat", "new.dat", std::string(64, 'e'))));
  EXPECT_THAT(platform.CallsTo("ShowMessage"),
              ElementsAre(WarningBox("config.ini\ndata.dat\n"), kCompletionBox));
  EXPECT_EQ(LocalList(), "crv3v2.exe|9\r\n" + fetched + Hashed("config.i.zip", 9) +
                             Hashed("data.dat", 9));
}

}  // namespace
