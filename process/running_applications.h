// Closing running copies of the listed executables before their files are
// replaced. The logic is neutral; the process table and the clock come in
// through ProcessControl.
#ifndef PROCESS_RUNNING_APPLICATIONS_H_
#define PROCESS_RUNNING_APPLICATIONS_H_

#include <string>
#include <vector>

class ProcessControl {
 public:
  virtual ~ProcessControl() = default;
  // Whether a process's executable file name equals name under ASCII case
  // folding.
  [[nodiscard]] virtual bool IsProcessRunning(const std::u16string& name) = 0;
  // Terminates every such process with exit code 0; true when one was.
  virtual bool TerminateProcessesByName(const std::u16string& name) = 0;
  virtual void Sleep(unsigned milliseconds) = 0;
};

// True when none of the names is left running.
[[nodiscard]] bool CloseRunningApplications(const std::vector<std::u16string>& names,
                                            ProcessControl& processes);

#endif  // PROCESS_RUNNING_APPLICATIONS_H_
