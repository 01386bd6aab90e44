// ParseInfoFile on any bytes: names hold no LF and keep no trailing blanks,
// and the list written back as one section per entry parses to itself.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_text.h"
#include "lists/info_file.h"

namespace {

std::string WriteInfoFile(const VersionList& list) {
  std::string text;
  for (const auto& [name, version] : list) {
    text += "[file]\nfn=" + name + "\nver=" + std::to_string(version) + "\n";
  }
  return text;
}

bool EndsWithTrimmedByte(const std::string& name) {
  return !name.empty() && std::string_view(" \t\r").find(name.back()) != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const VersionList list = ParseInfoFile(AsText(data, size));
  for (const auto& entry : list) {
    Require(entry.first.find('\n') == std::string::npos, "name holds LF");
    Require(!EndsWithTrimmedByte(entry.first), "name keeps a trailing blank, tab or CR");
  }
  Require(ParseInfoFile(WriteInfoFile(list)) == list, "written info file parses back unchanged");
  return 0;
}
