// The replacement sequence, the settling of aside copies and the journal
// that names them, through a fake folder whose files a running program may
// hold.
#include "download/file_replacement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "download/owned_files.h"
#include "tests/unit/fake_platform.h"

namespace {

using ::testing::ElementsAre;
using ::testing::Pair;
using ::testing::UnorderedElementsAre;

const std::u16string kFolder = u"C:\\corvane3";
const std::u16string kStaged = u"C:\\corvane3\\a.dll.crv3part";
const std::u16string kTarget = u"C:\\corvane3\\a.dll";
const std::u16string kAside = u"C:\\corvane3\\a.dll.crv3old";

constexpr char kJournalStart[] = "crv3launcher owned files\r\n";
constexpr char kJournalEnd[] = "end\r\n";

std::string Journal(const std::string& entries) { return kJournalStart + entries + kJournalEnd; }

// Files by name with their contents. A held file can be renamed but neither
// replaced nor deleted, as Windows treats a running program's file.
class FakeFolder : public ReplacementFiles {
 public:
  std::map<std::u16string, std::string> files;
  std::set<std::u16string> held;
  bool flushFails = false;
  // The moves that fail whatever the files, by their number (1-based): a
  // full disk, a folder put in the way.
  std::set<int> failingMoves;
  std::vector<std::string> calls;
  // Nothing: a journal that exists but cannot be read.
  std::optional<std::string> journal = std::string();
  bool journalWriteFails = false;

  bool IsFile(const std::u16string& path) override { return files.count(path) > 0; }

  bool Flush(const std::u16string& path) override {
    calls.push_back("Flush " + Utf8(path));
    return files.count(path) > 0 && !flushFails;
  }

  bool Move(const std::u16string& from, const std::u16string& to, bool replacing) override {
    calls.push_back("Move " + Utf8(from) + " > " + Utf8(to));
    if (failingMoves.count(++moves_) > 0 || files.count(from) == 0) return false;
    if (files.count(to) > 0 && (!replacing || held.count(to) > 0)) return false;
    files[to] = files[from];
    files.erase(from);
    if (held.erase(from) > 0) held.insert(to);
    return true;
  }

  bool Delete(const std::u16string& path) override {
    calls.push_back("Delete " + Utf8(path));
    return held.count(path) == 0 && files.erase(path) > 0;
  }

  std::optional<std::string> ReadJournal() override { return journal; }

  // Logged as its entry lines, e.g. "Journal aside|moving|a.dll.crv3old".
  bool WriteJournal(const std::string& text) override {
    std::string entries = text.empty() ? "" : text.substr(sizeof(kJournalStart) - 1);
    entries.resize(entries.size() - std::min(entries.size(), sizeof(kJournalEnd) - 1));
    calls.push_back("Journal " + entries.substr(0, entries.find_last_not_of("\r\n") + 1));
    if (journalWriteFails) return false;
    journal = text;
    return true;
  }

 private:
  int moves_ = 0;
};

class FileReplacementTest : public testing::Test {
 protected:
  void SetUp() override { folder.files = {{kStaged, "new"}, {kTarget, "old"}}; }
  bool Replace() { return ReplaceWithStaged(folder, kFolder, kStaged, kTarget, kAside); }
  std::vector<std::string> LastCalls(size_t count) const {
    return {folder.calls.end() - std::min(count, folder.calls.size()), folder.calls.end()};
  }
  void Settle(const std::vector<AsideCopy>& unnoted = {}) {
    SettleAsideCopies(folder, kFolder, unnoted);
  }

  FakeFolder folder;
};

TEST_F(FileReplacementTest, AFreeTargetIsReplacedInOneMoveAfterTheFlush) {
  EXPECT_TRUE(Replace());
  EXPECT_THAT(folder.calls, ElementsAre("Flush C:\\corvane3\\a.dll.crv3part",
                                        "Move C:\\corvane3\\a.dll.crv3part > C:\\corvane3\\a.dll"));
  EXPECT_THAT(folder.files, UnorderedElementsAre(Pair(kTarget, "new")));
}

TEST_F(FileReplacementTest, AStagedFileThatCannotBeFlushedNeverReplacesTheTarget) {
  folder.flushFails = true;
  EXPECT_FALSE(Replace());
  EXPECT_THAT(folder.files, UnorderedElementsAre(Pair(kTarget, "old"), Pair(kStaged, "new")));
  EXPECT_EQ(folder.calls.size(), 1u);
}

TEST_F(FileReplacementTest, AHeldTargetIsRenamedAsideAndItsCopyStaysUntilReleased) {
  folder.held.insert(kTarget);
  folder.files[kAside] = "stale copy of an earlier run";
  EXPECT_TRUE(Replace());
  EXPECT_THAT(folder.files, UnorderedElementsAre(Pair(kTarget, "new"), Pair(kAside, "old")));
  // Noted on the disk before the target moves, and as installed after.
  EXPECT_THAT(LastCalls(5),
              ElementsAre("Journal aside|moving|a.dll.crv3old",
                          "Move C:\\corvane3\\a.dll > C:\\corvane3\\a.dll.crv3old",
                          "Move C:\\corvane3\\a.dll.crv3part > C:\\corvane3\\a.dll",
                          "Delete C:\\corvane3\\a.dll.crv3old",
                          "Journal aside|installed|a.dll.crv3old"));

  // Still held at the next run: it stays; once let go, it goes.
  Settle();
  EXPECT_THAT(folder.files, UnorderedElementsAre(Pair(kTarget, "new"), Pair(kAside, "old")));
  folder.held.clear();
  Settle();
  EXPECT_THAT(folder.files, UnorderedElementsAre(Pair(kTarget, "new")));
  EXPECT_EQ(folder.journal, "");
}

TEST_F(FileReplacementTest, AnAsideCopyNothingHoldsGoesAtOnce) {
  folder.failingMoves.insert(1);
  EXPECT_TRUE(Replace());
  EXPECT_THAT(folder.files, UnorderedElementsAre(Pair(kTarget, "new")));
  EXPECT_THAT(LastCalls(2), ElementsAre("Delete C:\\corvane3\\a.dll.crv3old", "Journal "));
}

TEST_F(FileReplacementTest, ASecondMoveThatFailsPutsTheOldFileBack) {
  folder.held.insert(kTarget);
  folder.failingMoves.insert(3);
  EXPECT_FALSE(Replace());
  // The staged file stays for its owner to delete.
  EXPECT_THAT(folder.files, UnorderedElementsAre(Pair(kTarget, "old"), Pair(kStaged, "new")));
  EXPECT_THAT(LastCalls(2), ElementsAre("Move C:\\corvane3\\a.dll.crv3old > C:\\corvane3\\a.dll",
                                        "Journal "));
}

TEST_F(FileReplacementTest, AnOldFileThatCannotMoveBackIsPutBackByTheNextRun) {
  folder.held.insert(kTarget);
  folder.failingMoves = {3, 4};
  EXPECT_FALSE(Replace());
  EXPECT_THAT(folder.files, UnorderedElementsAre(Pair(kStaged, "new"), Pair(kAside, "old")));
  Settle();
  EXPECT_THAT(folder.files, UnorderedElementsAre(Pair(kTarget, "old"), Pair(kStaged, "new")));
}

TEST_F(FileReplacementTest, AnAsideCopyStillHeldLeavesTheTargetAsItWas) {
  folder.held = {kTarget, kAside};
  folder.files[kAside] = "older, still running";
  EXPECT_FALSE(Replace());
  EXPECT_THAT(folder.files, UnorderedElementsAre(Pair(kTarget, "old"), Pair(kStaged, "new"),
                                        Pair(kAside, "older, still running")));
}

TEST_F(FileReplacementTest, AMissingTargetNeverCostsTheAsideCopyItsOldBytes) {
  folder.files = {{kStaged, "new"}, {kAside, "old"}};
  folder.failingMoves.insert(1);
  EXPECT_FALSE(Replace());
  EXPECT_EQ(folder.files.at(kAside), "old");
}

TEST_F(FileReplacementTest, NoAsideCopyIsMadeThatTheJournalCannotNote) {
  folder.held.insert(kTarget);
  folder.journal = std::nullopt;  // held by a scanner, a read error
  EXPECT_FALSE(Replace());
  folder.journal = "";
  folder.journalWriteFails = true;
  EXPECT_FALSE(Replace());
  folder.journalWriteFails = false;
  EXPECT_FALSE(ReplaceWithStaged(folder, u"C:\\other", kStaged, kTarget, kAside));
  EXPECT_THAT(folder.files, UnorderedElementsAre(Pair(kTarget, "old"), Pair(kStaged, "new")));
  EXPECT_THAT(folder.calls, testing::Not(testing::Contains(
                                "Move C:\\corvane3\\a.dll > C:\\corvane3\\a.dll.crv3old")));
}

// What the next start does with what a run left: the old bytes aside
// ("old"), the new file at the target ("new") or nothing there.
TEST_F(FileReplacementTest, OnlyNotedCopiesStillMovingAreEverMovedBack) {
  const std::u16string kNotes = u"C:\\corvane3\\notes.txt";
  const std::u16string kNotesAside = u"C:\\corvane3\\notes.txt.crv3old";
  struct Case {
    const char* what;
    const char* noted;  // the entry's state; nullptr: none, the copy of an older launcher
    bool target;
    bool held;
    const char* targetAfter;  // "" when missing
    bool asideStays;
    const char* journalAfter;
  };
  const Case cases[] = {
      {"killed between the moves", "moving", false, false, "old", false, ""},
      {"killed between the moves, still running", "moving", false, true, "old", false, ""},
      {"killed before noting it installed", "moving", true, false, "new", false, ""},
      {"the same, still running", "moving", true, true, "new", true,
       "aside|installed|a.dll.crv3old"},
      {"installed", "installed", true, false, "new", false, ""},
      {"installed, then the new file lost", "installed", false, false, "", false, ""},
      {"the same, still running", "installed", false, true, "", true,
       "aside|installed|a.dll.crv3old"},
      {"an older launcher's, beside its target", nullptr, true, false, "new", false, ""},
      {"an older launcher's, alone", nullptr, false, false, "", true, ""},
  };
  for (const Case& c : cases) {
    FakeFolder run;
    run.files = {{kAside, "old"}, {kNotes, "mine"}, {kNotesAside, "my backup"}};
    if (c.target) run.files[kTarget] = "new";
    if (c.held) run.held.insert(kAside);
    if (c.noted) run.journal = Journal("aside|" + std::string(c.noted) + "|a.dll.crv3old\r\n");
    // The record names a.dll, not notes.txt.
    SettleAsideCopies(run, kFolder, {{kAside, kTarget}});
    EXPECT_EQ(run.files.count(kTarget) ? run.files[kTarget] : "", c.targetAfter) << c.what;
    EXPECT_EQ(run.files.count(kAside) > 0, c.asideStays) << c.what;
    EXPECT_EQ(run.files[kNotesAside], "my backup") << c.what;
    EXPECT_EQ(run.journal, *c.journalAfter ? Journal(std::string(c.journalAfter) + "\r\n") : "")
        << c.what;
  }
}

TEST_F(FileReplacementTest, EntriesOfCopiesThatAreGoneAreDroppedAndLaterKindsKept) {
  const std::string partial = "partial|open|big.dat.crv3part|1234\r\n";
  folder.journal = Journal("aside|installed|gone.dll.crv3old\r\n" + partial);
  Settle();
  EXPECT_EQ(folder.journal, Journal(partial));
  folder.held.insert(kTarget);
  EXPECT_TRUE(Replace());
  EXPECT_EQ(folder.journal, Journal(partial + "aside|installed|a.dll.crv3old\r\n"));
}

// A journal that is not whole is never acted on, nor are the copies of
// older launchers in that run.
TEST_F(FileReplacementTest, ADamagedJournalTouchesNothing) {
  const std::string entry = "aside|moving|a.dll.crv3old\r\n";
  const std::optional<std::string> damaged[] = {
      std::nullopt,  // unreadable
      Journal(entry).substr(0, Journal(entry).size() - 1),
      std::string(kJournalStart) + entry,
      "crv3launcher owned file\r\n" + entry + kJournalEnd,
      Journal("aside|moving\r\n"),
      Journal("|moving|a.dll.crv3old\r\n"),
      Journal("aside|moving|a.dll\r\n"),
      Journal("aside|moving|..\\a.dll.crv3old\r\n"),
      Journal("aside|moving|sub\\. \\..\\a.dll.crv3old\r\n"),
      Journal("aside|moving|C:\\a.dll.crv3old\r\n"),
      Journal("aside|moving|\\\\server\\a.dll.crv3old\r\n"),
      Journal("aside|moving|\xff.dll.crv3old\r\n"),
  };
  for (const auto& journal : damaged) {
    FakeFolder run;
    run.files = {{kAside, "old"}, {kTarget, "new"}};
    run.journal = journal;
    SettleAsideCopies(run, kFolder, {{kAside, kTarget}});
    EXPECT_EQ(run.files.size(), 2u) << journal.value_or("unreadable");
    EXPECT_EQ(run.journal, journal);
    EXPECT_TRUE(run.calls.empty());
  }
  EXPECT_THAT(ParseOwnedFiles(Journal(entry + "aside|installed|sub\\b c.dll .crv3old\r\n")),
              testing::Optional(testing::SizeIs(2)));
}

}  // namespace
