// ParseVersionList on any bytes: every name is a possible list name, and
// writing the list back as "name|version" lines gives the same list again.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_text.h"
#include "lists/version_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const VersionList list = ParseVersionList(AsText(data, size));
  for (const auto& entry : list) {
    const std::string& name = entry.first;
    Require(name.find('\n') == std::string::npos, "name holds LF");
    Require(name.find('|') == std::string::npos, "name holds a bar");
  }
  Require(ParseVersionList(WriteVersionList(list)) == list, "written list parses back unchanged");
  Require(list.size() <= size, "no more entries than bytes");
  return 0;
}
