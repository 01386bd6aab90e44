#include <windows.h>

#include "base/wide_string_win.h"
#include "publish/command.h"
#include "base/utf8.h"

namespace {

// A console shows UTF-16 as it is; a pipe or file receives UTF-8, as the
// native build writes it.
class WindowsConsole : public Console {
 public:
  void Out(const std::string& line) override { Write(STD_OUTPUT_HANDLE, line); }
  void Err(const std::string& line) override { Write(STD_ERROR_HANDLE, line); }

 private:
  static void Write(DWORD which, const std::string& line) {
    const HANDLE stream = GetStdHandle(which);
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(stream, &mode)) {
      const std::u16string text = FromUtf8(line + "\r\n").value_or(u"?\r\n");
      WriteConsoleW(stream, AsWide(text), static_cast<DWORD>(text.size()), &written, nullptr);
    } else {
      const std::string text = line + "\r\n";
      WriteFile(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
  }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(FromWide(argv[i]));
  WindowsConsole console;
  DiskFileSystem files;
  return RunPublishCommand(arguments, files, console);
}
