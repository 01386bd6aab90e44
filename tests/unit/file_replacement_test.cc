// The replacement sequence and the settling of aside copies, through a fake
// folder whose files a running program may hold.
#include "download/file_replacement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/unit/fake_platform.h"

namespace {

using ::testing::ElementsAre;
using ::testing::Pair;
using ::testing::UnorderedElementsAre;

const std::u16string kStaged = u"C:\\corvane3\\a.dll.crv3part";
const std::u16string kTarget = u"C:\\corvane3\\a.dll";
const std::u16string kAside = u"C:\\corvane3\\a.dll.crv3old";

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

 private:
  int moves_ = 0;
};

class FileReplacementTest : public testing::Test {
 protected:
  void SetUp() override { folder.files = {{kStaged, "new"}, {kTarget, "old"}}; }
  bool Replace() { return ReplaceWithStaged(folder, kStaged, kTarget, kAside); }
  void Settle() { SettleAsideCopy(folder, kAside, kTarget); }

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

  // Still held at the next run: it stays; once let go, it goes.
  Settle();
  EXPECT_THAT(folder.files, UnorderedElementsAre(Pair(kTarget, "new"), Pair(kAside, "old")));
  folder.held.clear();
  Settle();
  EXPECT_THAT(folder.files, UnorderedElementsAre(Pair(kTarget, "new")));
}

TEST_F(FileReplacementTest, AnAsideCopyNothingHoldsGoesAtOnce) {
  folder.failingMoves.insert(1);
  EXPECT_TRUE(Replace());
  EXPECT_THAT(folder.files, UnorderedElementsAre(Pair(kTarget, "new")));
  EXPECT_EQ(folder.calls.back(), "Delete C:\\corvane3\\a.dll.crv3old");
}

TEST_F(FileReplacementTest, ASecondMoveThatFailsPutsTheOldFileBack) {
  folder.held.insert(kTarget);
  folder.failingMoves.insert(3);
  EXPECT_FALSE(Replace());
  // The staged file stays for its owner to delete.
  EXPECT_THAT(folder.files, UnorderedElementsAre(Pair(kTarget, "old"), Pair(kStaged, "new")));
  EXPECT_EQ(folder.calls.back(), "Move C:\\corvane3\\a.dll.crv3old > C:\\corvane3\\a.dll");
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

}  // namespace
