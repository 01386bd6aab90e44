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

namespace {

std::string Quote(const std::wstring& text) {
  std::string out = "\"";
  for (wchar_t unit : text) {
    if (unit == L'"' || unit == L'\\') {
      out += '\\';
      out += static_cast<char>(unit);
    } else if (unit >= 0x20 && unit < 0x7f) {
      out += static_cast<char>(unit);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
      out += escape;
    }
  }
  return out + "\"";
}

std::wstring Environment(const wchar_t* name) {
  wchar_t value[4096] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, 4096);
  return length > 0 && length < 4096 ? value : L"";
}

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
  const std::wstring hold = Environment(L"FAKE_APP_HOLD");
  while (!hold.empty() && GetFileAttributesW(hold.c_str()) != INVALID_FILE_ATTRIBUTES) Sleep(100);
  return static_cast<int>(std::wcstol(Environment(L"FAKE_APP_EXIT_CODE").c_str(), nullptr, 10));
}
