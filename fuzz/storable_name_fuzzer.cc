// IsStorableName on any UTF-16 units: a name it takes names a path strictly
// inside the application directory once Windows has normalised it ("/" and
// "\" alike, empty components and "." dropped, ".." climbing, trailing dots
// and blanks of each component dropped), and that path fits MAX_PATH.
// StoredNameKey on the bytes: a key, listed as a name, keys as itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lists/storable_name.h"
#include "fuzz/fuzz_text.h"

namespace {

const std::u16string kDirectory = u"C:\\corvane3";
constexpr size_t kMaxPathUnits = 259;

// The components below the directory that Windows resolves the name to;
// false when the name climbs above the directory.
bool ResolveBelowDirectory(std::u16string_view name, std::vector<std::u16string>* resolved) {
  std::u16string component;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != u'/' && name[i] != u'\\') {
      component.push_back(name[i]);
      continue;
    }
    if (component == u"..") {
      if (resolved->empty()) return false;
      resolved->pop_back();
    } else {
      while (!component.empty() && (component.back() == u'.' || component.back() == u' ')) {
        component.pop_back();
      }
      if (!component.empty()) resolved->push_back(component);
    }
    component.clear();
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string key = StoredNameKey(std::string(reinterpret_cast<const char*>(data), size));
  Require(StoredNameKey(key) == key, "a key keys as itself");

  const std::u16string name = AsUtf16(data, size);
  if (!IsStorableName(name, kDirectory)) return 0;

  std::vector<std::u16string> resolved;
  Require(ResolveBelowDirectory(name, &resolved), "a taken name never climbs above the directory");
  Require(!resolved.empty(), "a taken name names something below the directory");
  size_t pathLength = kDirectory.size();
  for (const std::u16string& component : resolved) {
    pathLength += 1 + component.size();
    Require(component.find(u':') == std::u16string::npos, "no drive or stream");
  }
  Require(pathLength <= kMaxPathUnits, "the stored path fits MAX_PATH");
  return 0;
}
