// Stands in for the application under test (crv3v2.exe). Appends one JSON
// line to the file named by FAKE_APP_LOG: its full command line, the part
// after the program name, its working folder, its own path and process id.
// While the file named by FAKE_APP_HOLD exists it keeps running, so that
// tests can have a running copy for the launcher to find and terminate.
// FAKE_APP_EXIT_CODE chooses the exit code (default 0).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/wine/programs/bench_io.h"

namespace {

// The arguments as the C runtime finds them: the program name is skipped
// (up to the closing quote when it starts with one), then blanks and tabs.
const wchar_t* AfterProgramName(const wchar_t* line) {
  if (*line == L'"') {
    ++line;
    while (*line && *line != L'"') ++line;
    if (*line == L'"') ++line;
  } else {
    while (*line && *line != L' ' && *line != L'\t') ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

}  // namespace

int wmain() {
  const wchar_t* command_line = GetCommandLineW();
  wchar_t directory[MAX_PATH] = {}, module[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, directory);
  GetModuleFileNameW(nullptr, module, MAX_PATH);

  const std::wstring log_path = Environment(L"FAKE_APP_LOG");
  if (!log_path.empty()) {
    AppendLine(log_path, "{\"command_line\":" + Quote(command_line) +
                             ",\"arguments\":" + Quote(AfterProgramName(command_line)) +
                             ",\"directory\":" + Quote(directory) + ",\"module\":" +
                             Quote(module) + ",\"pid\":" + std::to_string(GetCurrentProcessId()) +
                             "}\n");
  }
  HoldWhileAsked();
  return static_cast<int>(std::wcstol(Environment(L"FAKE_APP_EXIT_CODE").c_str(), nullptr, 10));
}
