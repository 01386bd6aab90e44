// What the bench's Windows programs share: JSON strings that keep every
// UTF-16 unit, environment values, and appending a line to a log file.
#ifndef TESTS_WINE_PROGRAMS_BENCH_IO_H_
#define TESTS_WINE_PROGRAMS_BENCH_IO_H_

#include <windows.h>

#include <cstdio>
#include <string>

// JSON string with every non-ASCII unit escaped, so that lone surrogates and
// all of UTF-16 survive exactly and the output is plain ASCII.
inline std::string Quote(const std::wstring& text) {
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

// The variable's value, or empty when it is unset or too long.
inline std::wstring Environment(const wchar_t* name) {
  wchar_t value[4096] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, 4096);
  return length > 0 && length < 4096 ? value : L"";
}

// Appends line to the file, which several programs may share.
inline void AppendLine(const std::wstring& path, const std::string& line) {
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

// Keeps a stand-in application running while the file named by the
// FAKE_APP_HOLD variable exists.
inline void HoldWhileAsked() {
  const std::wstring hold = Environment(L"FAKE_APP_HOLD");
  while (!hold.empty() && GetFileAttributesW(hold.c_str()) != INVALID_FILE_ATTRIBUTES) Sleep(100);
}

#endif  // TESTS_WINE_PROGRAMS_BENCH_IO_H_
