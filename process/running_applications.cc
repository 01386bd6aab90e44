#include "process/running_applications.h"

#include <set>

namespace {

constexpr int kWaitAttempts = 10;
constexpr unsigned kWaitStepMilliseconds = 500;

// Checks right away, then after each pause; after the last pause the name
// counts as still running without another check.
bool WaitUntilGone(const std::u16string& name, ProcessControl& processes) {
  for (int attempt = 0; attempt < kWaitAttempts; ++attempt) {
    if (!processes.IsProcessRunning(name)) return true;
    processes.Sleep(kWaitStepMilliseconds);
  }
  return false;
}

}  // namespace

bool CloseRunningApplications(const std::vector<std::u16string>& names, ProcessControl& processes) {
  if (names.empty()) return true;

  // Ordered by UTF-16 units, so names that differ only in case stay apart.
  std::set<std::u16string> running;
  for (const std::u16string& name : names) {
    if (processes.IsProcessRunning(name)) running.insert(name);
  }

  bool allClosed = true;
  for (const std::u16string& name : running) {
    processes.TerminateProcessesByName(name);
    if (!WaitUntilGone(name, processes)) allClosed = false;
  }
  return allClosed;
}
