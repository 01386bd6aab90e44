#ifndef PROCESS_PROCESS_CONTROL_WIN_H_
#define PROCESS_PROCESS_CONTROL_WIN_H_

#include "process/running_applications.h"

// The Tool Help process table and the system clock. The launcher's own
// process is never matched, so a list naming the launcher cannot stop it.
class WindowsProcessControl final : public ProcessControl {
 public:
  bool IsProcessRunning(const std::u16string& name) override;
  bool TerminateProcessesByName(const std::u16string& name) override;
  void Sleep(unsigned milliseconds) override;
};

#endif  // PROCESS_PROCESS_CONTROL_WIN_H_
