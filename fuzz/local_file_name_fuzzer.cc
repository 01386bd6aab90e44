// LocalFileName on any UTF-16 units: a name whose last six units are ".i.zip"
// with only A-Z folded (no other unit, such as the Kelvin sign or a dotted
// capital I, counts as a letter of it) is stored as the name without them plus
// ".ini", two units shorter; every other name is stored unchanged. A stored
// name never ends in ".i.zip", so the mapping is idempotent.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "lists/storable_name.h"
#include "fuzz/fuzz_text.h"

namespace {

constexpr std::u16string_view kZippedIni = u".i.zip";

bool EndsInZippedIni(std::u16string_view name) {
  if (name.size() < kZippedIni.size()) return false;
  const std::u16string_view ending = name.substr(name.size() - kZippedIni.size());
  for (size_t i = 0; i < ending.size(); ++i) {
    const char16_t unit = ending[i];
    const char16_t folded = unit < 0x80 ? static_cast<char16_t>(std::tolower(unit)) : unit;
    if (folded != kZippedIni[i]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string name = AsUtf16(data, size);
  const std::u16string stored = LocalFileName(name);

  if (EndsInZippedIni(name)) {
    const size_t kept = name.size() - kZippedIni.size();
    Require(stored.size() == name.size() - 2, "renamed name is two units shorter");
    Require(stored.compare(0, kept, name, 0, kept) == 0 && stored.compare(kept, 4, u".ini") == 0,
            "\".i.zip\" ending becomes \".ini\", the rest unchanged");
  } else {
    Require(stored == name, "any other name is stored unchanged");
  }
  Require(LocalFileName(stored) == stored, "a stored name stays as it is");
  return 0;
}
