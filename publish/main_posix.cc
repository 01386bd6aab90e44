#include <cstdio>

#include "publish/command.h"
#include "base/utf8.h"

namespace {

class StdioConsole : public Console {
 public:
  void Out(const std::string& line) override { Write(stdout, line); }
  void Err(const std::string& line) override { Write(stderr, line); }

 private:
  static void Write(std::FILE* stream, const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
  }
};

}  // namespace

int main(int argc, char** argv) {
  StdioConsole console;
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) {
    const std::optional<std::u16string> argument = FromUtf8(argv[i]);
    if (!argument) {
      console.Err(std::string("error: ") + argv[i] + ": not UTF-8 text");
      return kExitError;
    }
    arguments.push_back(*argument);
  }
  DiskFileSystem files;
  return RunPublishCommand(arguments, files, console);
}
