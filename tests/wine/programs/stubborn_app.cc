// A running application that cannot be terminated: it takes every access
// right away from its own process object, so OpenProcess(PROCESS_TERMINATE)
// from another process is refused. Like fake_app.exe, it appends one JSON
// line with its process id to FAKE_APP_LOG and keeps running while the file
// FAKE_APP_HOLD exists; installed as crv3v2.exe it stands for a copy the
// launcher cannot close.
#include <windows.h>

#include <aclapi.h>

#include <string>

namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t value[4096] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, 4096);
  return length > 0 && length < 4096 ? value : L"";
}

void AppendLine(const std::wstring& log_path, const std::string& line) {
  HANDLE file = CreateFileW(log_path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

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
  const std::wstring hold = Environment(L"FAKE_APP_HOLD");
  while (!hold.empty() && GetFileAttributesW(hold.c_str()) != INVALID_FILE_ATTRIBUTES) Sleep(100);
  return 0;
}
