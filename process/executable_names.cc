#include "process/executable_names.h"

#include <algorithm>

#include "base/ascii_case.h"
#include "lists/ansi.h"
#include "lists/version_list.h"

namespace {

constexpr std::string_view kExecutableEnding = ".exe";

// The part of the line's file field after its last separator; either
// separator counts, as both work on Windows.
std::string_view BaseName(std::string_view line) {
  const std::string_view file = ListLineName(line);
  const size_t separator = file.find_last_of("/\\");
  return separator == std::string_view::npos ? file : file.substr(separator + 1);
}

}  // namespace

std::vector<std::u16string> CollectExecutableNames(std::string_view serverText) {
  std::vector<std::u16string> names;
  ReadListLines(serverText, [&names](std::string_view line) {
    const std::string_view base = BaseName(line);
    // No file name holds a zero byte, and the conversion would stop at it,
    // making "x\0.exe" the process name "x".
    if (base.find('\0') != std::string_view::npos) return;
    if (EndsWithIgnoringAsciiCase(base, kExecutableEnding)) {
      names.push_back(AnsiToWide(std::string(base)));
    }
  });
  return names;
}
