// A running application that cannot be terminated: it takes every access
// right away from its own process object, so OpenProcess(PROCESS_TERMINATE)
// from another process is refused. Like fake_app.exe, it appends one JSON
// line with its process id to FAKE_APP_LOG and keeps running while the file
// FAKE_APP_HOLD exists; installed as crv3v2.exe it stands for a copy the
// launcher cannot close.
#include <windows.h>

#include <aclapi.h>

#include <string>

#include "tests/wine/programs/bench_io.h"

int wmain() {
  // An empty DACL grants nothing to anyone.
  ACL empty;
  InitializeAcl(&empty, sizeof empty, ACL_REVISION);
  const DWORD protect = SetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT,
                                        DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, &empty, nullptr);
  const std::wstring log_path = Environment(L"FAKE_APP_LOG");
  if (!log_path.empty()) {
    AppendLine(log_path, "{\"pid\":" + std::to_string(GetCurrentProcessId()) +
                             ",\"protected\":" + (protect == ERROR_SUCCESS ? "true" : "false") +
                             "}\n");
  }
  HoldWhileAsked();
  return 0;
}
