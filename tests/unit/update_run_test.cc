#include "app/update_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/accepted_release.h"
#include "base/hex_text.h"
#include "base/sha256.h"
#include "publish/signing.h"
#include "lists/list_signature.h"
#include "lists/server_list.h"
#include "tests/unit/fake_platform.h"

namespace {

using testing::ElementsAre;

const std::string kDirectory = "C:\\corvane3";
const std::string kExecutable = "C:\\corvane3\\crv3v2.exe";
const std::u16string kDirectory16 = u"C:\\corvane3";
const std::u16string kExecutable16 = u"C:\\corvane3\\crv3v2.exe";

class UpdateRunTest : public testing::Test {
 protected:
  void SetUp() override { platform.existingPaths.insert(kDirectory16); }

  // The calls that the user or the system can see.
  std::vector<std::string> VisibleCalls() const {
    std::vector<std::string> visible;
    for (const auto& call : platform.calls) {
      if (call.rfind("ShowMessage", 0) == 0 || call.rfind("StartProgram", 0) == 0 ||
          call.rfind("CreateDesktopShortcut", 0) == 0 || call.rfind("MakeDirectory", 0) == 0) {
        visible.push_back(call);
      }
    }
    return visible;
  }

  // A list whose only file is installed and recorded: the pass has nothing to do.
  void ServeUpToDateList() {
    platform.serverList = "a.dat|1\n";
    platform.files[u"C:\\corvane3\\local_list.txt"] = "a.dat|1\n";
    platform.existingPaths.insert(u"C:\\corvane3\\a.dat");
  }

  FakePlatform platform;
};

TEST_F(UpdateRunTest, CreatesMissingDirectoryOrStopsWithError) {
  platform.existingPaths.clear();
  EXPECT_EQ(RunUpdate(u"", platform, ""), 1);
  EXPECT_THAT(VisibleCalls(),
              ElementsAre("MakeDirectory(" + kDirectory + ")",
                          "ShowMessage(설치 폴더를 생성할 수 없습니다.\n권한을 확인하세요.|오류|16)"));
  EXPECT_TRUE(platform.CallsTo("FetchServerList").empty());

  FakePlatform creatable;
  creatable.creatableDirectories.insert(kDirectory16);
  creatable.existingPaths.insert(kExecutable16);
  EXPECT_EQ(RunUpdate(u"", creatable, ""), 0);
  EXPECT_THAT(creatable.CallsTo("FetchServerList"),
              ElementsAre("FetchServerList(https://update.test/cv3down/filelist.txt)"));
}

TEST_F(UpdateRunTest, OfflineStartsInstalledProgramIgnoringOverride) {
  platform.existingPaths.insert(kExecutable16);
  platform.existingPaths.insert(u"D:\\other.exe");
  EXPECT_EQ(RunUpdate(u"D:\\other.exe /updated", platform, ""), 0);
  EXPECT_THAT(VisibleCalls(),
              ElementsAre("StartProgram(" + kExecutable + "|/updated|" + kDirectory + ")"));
}

TEST_F(UpdateRunTest, OfflineWithoutProgramShowsServerError) {
  EXPECT_EQ(RunUpdate(u"", platform, ""), 1);
  EXPECT_THAT(VisibleCalls(),
              ElementsAre("ShowMessage(서버에 연결할 수 없습니다.\n인터넷 연결을 확인하세요.|오류|16)"));
}

// With the stored paths of the recorded files that can be stored at all.
TEST_F(UpdateRunTest, OldFilesLeftAsideAreSettledBeforeTheListEvenOffline) {
  platform.existingPaths.clear();
  platform.creatableDirectories.insert(kDirectory16);
  platform.files[u"C:\\corvane3\\local_list.txt"] = "a.dll|1\nsub/b.i.zip|2\n..\\x.dll|3\n";
  EXPECT_EQ(RunUpdate(u"", platform, ""), 1);
  EXPECT_THAT(platform.calls,
              ElementsAre("PathExists(" + kDirectory + ")", "MakeDirectory(" + kDirectory + ")",
                          "ReadTextFile(" + kDirectory + "\\local_list.txt)",
                          "SettleAsideCopies(" + kDirectory + "|" + kDirectory + "\\a.dll," +
                              kDirectory + "\\sub/b.ini)",
                          "FetchServerList(https://update.test/cv3down/filelist.txt)",
                          "PathExists(" + kExecutable + ")", testing::StartsWith("ShowMessage(")));
}

TEST_F(UpdateRunTest, OnlineWritesShortcutThenStartsProgram) {
  ServeUpToDateList();
  platform.existingPaths.insert(kExecutable16);
  EXPECT_EQ(RunUpdate(u"/updated", platform, ""), 0);
  EXPECT_THAT(VisibleCalls(),
              ElementsAre("CreateDesktopShortcut(" + kExecutable + "|" + kDirectory + "|" +
                              kExecutable + ")",
                          "StartProgram(" + kExecutable + "|/updated|" + kDirectory + ")"));
}

TEST_F(UpdateRunTest, OverrideIsStartedAndGivesOnlyTheIcon) {
  ServeUpToDateList();
  platform.existingPaths.insert(u"D:\\tool.exe");
  EXPECT_EQ(RunUpdate(u"\"D:\\tool.exe\"", platform, ""), 0);
  EXPECT_THAT(VisibleCalls(),
              ElementsAre("CreateDesktopShortcut(" + kExecutable + "|" + kDirectory +
                              "|D:\\tool.exe)",
                          "StartProgram(D:\\tool.exe||" + kDirectory + ")"));
}

TEST_F(UpdateRunTest, MissingProgramWritesShortcutFirstThenTellsUser) {
  ServeUpToDateList();
  platform.existingPaths.insert(kExecutable16);
  // "/UPDATED" is not the switch, so it names a program that does not exist.
  EXPECT_EQ(RunUpdate(u"/UPDATED", platform, ""), 1);
  EXPECT_THAT(VisibleCalls(),
              ElementsAre("CreateDesktopShortcut(" + kExecutable + "|" + kDirectory + "|" +
                              kExecutable + ")",
                          "ShowMessage(실행 파일을 찾을 수 없습니다.\n다시 실행해주세요.|알림|64)"));
}

TEST_F(UpdateRunTest, CancelledUpdateStartsNothing) {
  platform.serverList = "crv3v2.exe|1\n";
  platform.existingPaths.insert(kExecutable16);
  platform.closeResult = false;
  EXPECT_EQ(RunUpdate(u"/updated", platform, ""), 0);
  EXPECT_THAT(VisibleCalls(), ElementsAre("ShowMessage(업데이트를 취소했습니다.|알림|64)"));
}

// A launcher that carries a key takes the list only with a valid signature
// fetched right after it; anything else is the offline path, before any
// running program is closed or any file is read or written.
TEST_F(UpdateRunTest, SignedListIsTakenOnlyWithAValidSignature) {
  const SigningKeyPair pair = GenerateSigningKeyPair().value();
  const SigningKeyPair other = GenerateSigningKeyPair().value();
  const std::string key = EncodeHex(pair.publicKey);
  const std::string list = "a.dat|1|" + std::string(64, 'c') + "\n";
  const auto signedBy = [&pair](const std::string& text) {
    return FormatSignatureFile(SignMessage(pair.privateKeyPem, text));
  };
  const std::string valid = signedBy(list);
  // Each body has its own limit: a list far longer than a signature may be.
  const std::string longList = list + std::string(kServerListSizeLimit - list.size(), '\n');
  const std::string fetchList = "FetchServerList(https://update.test/cv3down/filelist.txt)";
  const std::string fetchSignature = "FetchServerList(https://update.test/cv3down/filelist.txt.sig)";
  const struct {
    const char* what;
    std::string served, signature;
    bool accepted;
  } cases[] = {
      {"valid", list, valid, true},
      {"one changed byte", "a.dat|2|" + std::string(64, 'c') + "\n", valid, false},
      {"missing", list, "", false},
      {"another key", list, FormatSignatureFile(SignMessage(other.privateKeyPem, list)), false},
      {"truncated", list, valid.substr(0, 64), false},
      {"list at its limit", longList, signedBy(longList), true},
      {"list past its limit", longList + "\n", signedBy(longList + "\n"), false},
  };
  for (const auto& c : cases) {
    FakePlatform signedRun;
    signedRun.existingPaths = {kDirectory16, kExecutable16};
    signedRun.serverList = c.served;
    signedRun.serverSignature = c.signature;
    EXPECT_EQ(RunUpdate(u"", signedRun, key), 0);
    if (c.accepted) {
      EXPECT_THAT(signedRun.CallsTo("FetchServerList"), ElementsAre(fetchList, fetchSignature));
      EXPECT_EQ(signedRun.CallsTo("DownloadFile").size(), 1u);
    } else {
      std::vector<std::string> expected = {
          "PathExists(" + kDirectory + ")", "ReadTextFile(" + kDirectory + "\\local_list.txt)",
          "SettleAsideCopies(" + kDirectory + "|)", fetchList, fetchSignature,
          "PathExists(" + kExecutable + ")",
          "StartProgram(" + kExecutable + "||" + kDirectory + ")"};
      // No list obtained: no signature asked for.
      if (c.served.size() > kServerListSizeLimit) expected.erase(expected.begin() + 4);
      EXPECT_THAT(signedRun.calls, testing::ElementsAreArray(expected)) << c.what;
    }
  }
}

// A validly signed list that would lower a recorded version is a replay of
// an older release: the installed application starts as it is.
TEST_F(UpdateRunTest, SignedListOlderThanTheRecordIsNoList) {
  const SigningKeyPair pair = GenerateSigningKeyPair().value();
  const std::string list = "crv3v2.exe|3|" + std::string(64, 'c') + "\n";
  platform.serverList = list;
  platform.serverSignature = FormatSignatureFile(SignMessage(pair.privateKeyPem, list));
  platform.files[u"C:\\corvane3\\local_list.txt"] = "crv3v2.exe|9\n";
  platform.existingPaths.insert(kExecutable16);
  EXPECT_EQ(RunUpdate(u"/updated", platform, EncodeHex(pair.publicKey)), 0);
  EXPECT_THAT(VisibleCalls(),
              ElementsAre("StartProgram(" + kExecutable + "|/updated|" + kDirectory + ")"));
  EXPECT_THAT(platform.CallsTo("CloseRunningApplications"), testing::IsEmpty());
  EXPECT_THAT(platform.CallsTo("WriteTextFile"), testing::IsEmpty());
}

// Once a numbered list was accepted, only a higher number, or that very list
// again, is taken; everything else is the offline path, before anything is
// closed, fetched or written. A launcher without a key keeps no number.
TEST_F(UpdateRunTest, KeyedLauncherTakesOnlyGrowingReleaseNumbers) {
  const SigningKeyPair pair = GenerateSigningKeyPair().value();
  const std::u16string keptPath = u"C:\\corvane3\\release_number.txt";
  const std::string line = "a.dat|1|" + std::string(64, 'c');
  const std::string r5 = line + "|r5\r\n", unnumbered = line + "\r\n";
  const std::string r5Other = r5 + "b.dat|1|" + std::string(64, 'd') + "\r\n";
  auto kept = [](int64_t number, const std::string& list) {
    return FormatAcceptedRelease({number, Sha256Of(list)});
  };
  const std::string keptR5 = kept(5, r5);
  const struct {
    const char* what;
    std::string served;
    std::optional<std::string> keptBefore;  // nothing: no file
    bool keyed;
    std::u16string unreadable;  // a file that is there but cannot be read
    bool unwritable, accepted;
    std::optional<std::string> keptAfter;
  } cases[] = {
      {"first numbered list", r5, std::nullopt, true, u"", false, true, keptR5},
      {"higher number", r5, kept(4, r5Other), true, u"", false, true, keptR5},
      {"the same list again", r5, keptR5, true, u"", false, true, keptR5},
      {"unnumbered, none kept", unnumbered, std::nullopt, true, u"", false, true, std::nullopt},
      {"lower number", r5, kept(6, r5), true, u"", false, false, kept(6, r5)},
      {"same number, other bytes", r5Other, keptR5, true, u"", false, false, keptR5},
      {"unnumbered after numbered", unnumbered, keptR5, true, u"", false, false, keptR5},
      {"kept number unreadable", r5, keptR5, true, keptPath, false, false, keptR5},
      {"record unreadable", r5, kept(4, r5Other), true, u"C:\\corvane3\\local_list.txt", false,
       false, kept(4, r5Other)},
      {"kept number garbled", r5, "5\r\n", true, u"", false, false, "5\r\n"},
      {"number cannot be kept", r5, kept(4, r5), true, u"", true, false, kept(4, r5)},
      {"no key", r5, kept(6, r5), false, keptPath, false, true, kept(6, r5)},
  };
  for (const auto& c : cases) {
    FakePlatform run;
    run.existingPaths = {kDirectory16, kExecutable16};
    run.serverList = c.served;
    run.serverSignature = FormatSignatureFile(SignMessage(pair.privateKeyPem, c.served));
    if (c.keptBefore) run.files[keptPath] = *c.keptBefore;
    if (!c.unreadable.empty()) run.unreadableFiles.insert(c.unreadable);
    if (c.unwritable) run.unwritableFiles.insert(keptPath);
    EXPECT_EQ(RunUpdate(u"", run, c.keyed ? EncodeHex(pair.publicKey) : ""), 0) << c.what;
    for (const char* call : {"DownloadFile", "CloseRunningApplications", "WriteTextFile"}) {
      EXPECT_EQ(run.CallsTo(call).size(), c.accepted ? 1u : 0u) << c.what << ": " << call;
    }
    EXPECT_EQ(run.CallsTo("StartProgram").size(), 1u) << c.what;
    const auto keptAfter = run.files.find(keptPath);
    EXPECT_EQ(keptAfter == run.files.end() ? std::nullopt : std::optional(keptAfter->second),
              c.keptAfter)
        << c.what;
    if (c.accepted && c.keptBefore == c.keptAfter) {
      EXPECT_THAT(run.CallsTo("ReplaceFileDurably"), testing::IsEmpty()) << c.what;
    }
    if (!c.keyed) {
      EXPECT_THAT(run.CallsTo("ReadKeptFile"), testing::IsEmpty());
    }
  }
}

TEST_F(UpdateRunTest, NoSignatureIsFetchedWithoutAKeyOrAList) {
  ServeUpToDateList();
  platform.serverSignature = "not a signature";
  platform.existingPaths.insert(kExecutable16);
  EXPECT_EQ(RunUpdate(u"", platform, ""), 0);
  EXPECT_EQ(platform.CallsTo("FetchServerList").size(), 1u);
  EXPECT_EQ(platform.CallsTo("StartProgram").size(), 1u);

  FakePlatform offline;
  offline.existingPaths = {kDirectory16, kExecutable16};
  EXPECT_EQ(RunUpdate(u"", offline, std::string(128, 'a')), 0);
  EXPECT_EQ(offline.CallsTo("FetchServerList").size(), 1u);
}

}  // namespace
