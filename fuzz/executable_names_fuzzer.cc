// CollectExecutableNames on any list text, with the native ANSI conversion
// (one unit per byte, ending at the first zero byte): each name is, in line
// order, the base name of a line's file field that ends in ".exe" with A-Z
// folded (the part after the last "/" or "\" of the text before the first "|",
// trailing blanks, tabs and CRs of the line removed) and holds no zero byte.
// So no name holds "/", "\", LF or "|", there are never more names than
// lines, and every name ends in ".exe".
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "lists/listed_executables.h"
#include "fuzz/fuzz_text.h"

namespace {

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string line(text.substr(start, end - start));
    line.erase(line.find_last_not_of(" \t\r") + 1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string BaseNameOfFileField(const std::string& line) {
  const std::string field = line.substr(0, line.find('|'));
  return field.substr(field.find_last_of("/\\") + 1);
}

// The name the native conversion gives for a base name.
std::u16string Widened(const std::string& baseName) {
  std::u16string name;
  for (const unsigned char byte : baseName) name += byte;
  return name;
}

template <typename Text>
bool EndsInExe(const Text& name) {
  if (name.size() < 4) return false;
  std::string ending;
  for (size_t i = name.size() - 4; i < name.size(); ++i) {
    const auto unit = static_cast<std::make_unsigned_t<typename Text::value_type>>(name[i]);
    ending += unit < 0x80 ? static_cast<char>(std::tolower(unit)) : '\x80';
  }
  return ending == ".exe";
}

// The line's base name when it is an executable's, else nothing.
std::optional<std::string> ExecutableBaseName(const std::string& line) {
  const std::string baseName = BaseNameOfFileField(line);
  if (baseName.find('\0') != std::string::npos || !EndsInExe(baseName)) return std::nullopt;
  return baseName;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = AsText(data, size);
  const std::vector<std::u16string> names = CollectExecutableNames(text);
  const std::vector<std::string> lines = SplitLines(text);
  Require(names.size() <= lines.size(), "no more names than lines");

  size_t nextLine = 0;
  for (const std::u16string& name : names) {
    Require(name.find_first_of(u"/\\\n|") == std::u16string::npos, "name holds no / \\ LF or |");
    // Each name stands for a later line than the name before it.
    std::optional<std::string> baseName;
    for (; nextLine < lines.size() && !baseName; ++nextLine) {
      baseName = ExecutableBaseName(lines[nextLine]);
      if (baseName && Widened(*baseName) != name) baseName.reset();
    }
    Require(baseName.has_value(), "names are executables' base names, in line order");
    Require(EndsInExe(name), "name ends in \".exe\"");
  }
  return 0;
}
