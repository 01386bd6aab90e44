#include "lists/executable_names.h"

#include "base/ascii_case.h"

namespace {

constexpr std::string_view kExecutableEnding = ".exe";

// Either separator counts, as both work on Windows. The split is made on
// the bytes, before any conversion, so a separator counts wherever it is,
// whatever a conversion would make of an odd byte just before it.
std::string_view BaseName(std::string_view file) {
  const size_t separator = file.find_last_of("/\\");
  return separator == std::string_view::npos ? file : file.substr(separator + 1);
}

}  // namespace

std::optional<std::string_view> ExecutableBaseName(std::string_view listedName) {
  const std::string_view base = BaseName(listedName);
  // No file name holds a zero byte, and the conversion to UTF-16 would stop
  // at it, making "x\0.exe" the process name "x".
  if (base.find('\0') != std::string_view::npos) return std::nullopt;
  if (!EndsWithIgnoringAsciiCase(base, kExecutableEnding)) return std::nullopt;
  return base;
}
