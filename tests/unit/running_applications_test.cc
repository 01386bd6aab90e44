#include "process/running_applications.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "tests/unit/fake_platform.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

char16_t FoldAscii(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

bool SameNameIgnoringAsciiCase(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](auto x, auto y) {
           return FoldAscii(x) == FoldAscii(y);
         });
}

// A process table on a fake clock: a terminated process ends exitDelay
// milliseconds after its termination; an unkillable one never ends.
class FakeProcessTable : public ProcessControl {
 public:
  struct Process {
    std::u16string exeFile;
    unsigned exitDelay = 0;
    bool killable = true;
    std::optional<unsigned> endsAt;
  };

  void Add(const std::u16string& exeFile, unsigned exitDelay = 0, bool killable = true) {
    processes_.push_back({exeFile, exitDelay, killable, std::nullopt});
  }

  bool IsProcessRunning(const std::u16string& name) override {
    calls.push_back("running?" + Utf8(name) + "@" + std::to_string(now));
    for (const Process& process : processes_) {
      if (SameNameIgnoringAsciiCase(process.exeFile, name) && IsAlive(process)) return true;
    }
    return false;
  }

  bool TerminateProcessesByName(const std::u16string& name) override {
    calls.push_back("terminate " + Utf8(name));
    bool terminated = false;
    for (Process& process : processes_) {
      if (!SameNameIgnoringAsciiCase(process.exeFile, name) || !IsAlive(process)) continue;
      if (!process.killable) continue;
      process.endsAt = now + process.exitDelay;
      terminated = true;
    }
    return terminated;
  }

  void Sleep(unsigned milliseconds) override {
    calls.push_back("sleep " + std::to_string(milliseconds));
    now += milliseconds;
  }

  std::vector<std::string> CallsTo(const std::string& prefix) const {
    std::vector<std::string> matching;
    for (const auto& call : calls) {
      if (call.rfind(prefix, 0) == 0) matching.push_back(call);
    }
    return matching;
  }

  std::vector<std::string> calls;
  unsigned now = 0;

 private:
  bool IsAlive(const Process& process) const { return !process.endsAt || now < *process.endsAt; }

  std::vector<Process> processes_;
};

TEST(CloseRunningApplicationsTest, EmptyListTakesNoSnapshot) {
  FakeProcessTable table;
  table.Add(u"a.exe");
  EXPECT_TRUE(CloseRunningApplications({}, table));
  EXPECT_THAT(table.calls, IsEmpty());
}

TEST(CloseRunningApplicationsTest, NothingRunningIsCheckedOncePerListedName) {
  FakeProcessTable table;
  table.Add(u"other.exe");
  EXPECT_TRUE(CloseRunningApplications({u"a.exe", u"b.exe", u"a.exe"}, table));
  EXPECT_THAT(table.calls, ElementsAre("running?a.exe@0", "running?b.exe@0", "running?a.exe@0"));
}

TEST(CloseRunningApplicationsTest, ProcessEndingAtOnceCostsNoSleep) {
  FakeProcessTable table;
  table.Add(u"viewer.exe");
  table.Add(u"viewer.exe");  // both copies go with the one termination
  EXPECT_TRUE(CloseRunningApplications({u"Viewer.EXE"}, table));
  EXPECT_THAT(table.calls,
              ElementsAre("running?Viewer.EXE@0", "terminate Viewer.EXE", "running?Viewer.EXE@0"));
}

TEST(CloseRunningApplicationsTest, WaitsInHalfSecondStepsUntilGone) {
  FakeProcessTable table;
  table.Add(u"slow.exe", 1200);
  EXPECT_TRUE(CloseRunningApplications({u"slow.exe"}, table));
  EXPECT_THAT(table.calls,
              ElementsAre("running?slow.exe@0", "terminate slow.exe", "running?slow.exe@0",
                          "sleep 500", "running?slow.exe@500", "sleep 500",
                          "running?slow.exe@1000", "sleep 500", "running?slow.exe@1500"));
}

TEST(CloseRunningApplicationsTest, GoneOnTheLastCheckStillCounts) {
  FakeProcessTable table;
  table.Add(u"slow.exe", 4500);
  EXPECT_TRUE(CloseRunningApplications({u"slow.exe"}, table));
  EXPECT_EQ(table.now, 4500u);
}

TEST(CloseRunningApplicationsTest, UnkillableCostsTenChecksAndFiveSecondsThenGoesOn) {
  FakeProcessTable table;
  table.Add(u"a.exe", 0, /*killable=*/false);
  table.Add(u"b.exe");
  EXPECT_FALSE(CloseRunningApplications({u"b.exe", u"a.exe"}, table));

  std::vector<std::string> expected = {"running?b.exe@0", "running?a.exe@0", "terminate a.exe"};
  for (unsigned step = 0; step < 10; ++step) {
    expected.push_back("running?a.exe@" + std::to_string(step * 500));
    expected.push_back("sleep 500");
  }
  // No eleventh check; the next name in set order is still closed.
  expected.insert(expected.end(), {"terminate b.exe", "running?b.exe@5000"});
  EXPECT_EQ(table.calls, expected);
}

TEST(CloseRunningApplicationsTest, EachRunningNameOnceInUtf16UnitOrder) {
  FakeProcessTable table;
  table.Add(u"app.exe");
  table.Add(u"\uD55C.exe");
  // Duplicates are closed once; names that differ in case are closed apart.
  EXPECT_TRUE(CloseRunningApplications({u"\uD55C.exe", u"app.exe", u"App.exe", u"app.exe"}, table));
  EXPECT_THAT(table.CallsTo("terminate"),
              ElementsAre("terminate App.exe", "terminate app.exe", "terminate \uD55C.exe"));
}

}  // namespace
