#include "process/process_control_win.h"

#include <windows.h>

#include <tlhelp32.h>

#include "base/ascii_case.h"
#include "base/scoped_win.h"
#include "base/wide_string_win.h"

namespace {

// Calls onMatch(processId) for every process, other than the launcher
// itself, whose executable file name equals name under ASCII case folding,
// until onMatch returns false. Without a snapshot there is no match.
template <typename OnMatch>
void ForEachProcessNamed(const std::u16string& name, OnMatch&& onMatch) {
  const ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid()) return;

  const DWORD ownProcessId = GetCurrentProcessId();
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == ownProcessId) continue;
    // Only A to Z are folded, whatever the locale: process names compare as
    // the C locale's towlower would compare them.
    if (!EqualsIgnoringAsciiCase<char16_t>(FromWide(entry.szExeFile), name)) continue;
    if (!onMatch(entry.th32ProcessID)) return;
  }
}

}  // namespace

bool WindowsProcessControl::IsProcessRunning(const std::u16string& name) {
  bool running = false;
  ForEachProcessNamed(name, [&running](DWORD) {
    running = true;
    return false;
  });
  return running;
}

bool WindowsProcessControl::TerminateProcessesByName(const std::u16string& name) {
  bool terminated = false;
  ForEachProcessNamed(name, [&terminated](DWORD processId) {
    const ScopedHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
    if (process.IsValid() && TerminateProcess(process.Get(), 0)) terminated = true;
    return true;
  });
  return terminated;
}

void WindowsProcessControl::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }
