#include "lists/storable_name.h"

#include <algorithm>
#include <vector>

#include "base/ascii_case.h"
#include "base/staging_path.h"

namespace {

// Staging costs nothing against kMaxPathUnits: a staging path that would not
// fit takes the long-path form.
// The longest path Windows takes in any form. Separators collapse, so a name
// may be longer than the path it stores, but a hostile list can hold
// megabytes of them, and the name is passed on as listed.
constexpr size_t kMaxListedPathUnits = 32767;

bool IsSeparator(char16_t unit) { return unit == u'/' || unit == u'\\'; }

bool IsAsciiDigitOrSuperscript(char16_t unit) {
  return (unit >= u'0' && unit <= u'9') || unit == u'\u00B9' || unit == u'\u00B2' ||
         unit == u'\u00B3';
}

// Windows opens a device, not a file, for these names, whatever extension
// follows them and with blanks before it ("nul.txt", "COM1 .log").
bool IsDeviceName(std::u16string_view component) {
  std::u16string_view base = component.substr(0, component.find(u'.'));
  base = base.substr(0, base.find_last_not_of(u' ') + 1);
  for (const std::u16string_view device :
       {u"con", u"prn", u"aux", u"nul", u"conin$", u"conout$", u"clock$"}) {
    if (EqualsIgnoringAsciiCase(base, device)) return true;
  }
  return base.size() == 4 && IsAsciiDigitOrSuperscript(base[3]) &&
         (EqualsIgnoringAsciiCase(base.substr(0, 3), std::u16string_view(u"com")) ||
          EqualsIgnoringAsciiCase(base.substr(0, 3), std::u16string_view(u"lpt")));
}

// The name split at its separators, empty components left out.
std::vector<std::u16string_view> Components(std::u16string_view name) {
  std::vector<std::u16string_view> components;
  while (!name.empty()) {
    const auto separator = std::find_if(name.begin(), name.end(), IsSeparator);
    const size_t length = static_cast<size_t>(separator - name.begin());
    if (length > 0) components.push_back(name.substr(0, length));
    name.remove_prefix(std::min(length + 1, name.size()));
  }
  return components;
}

// The stored path's length below the directory, counted as Windows stores it
// at the least: one separator per component, the last component without its
// trailing dots and blanks. Folder components are counted whole, since Windows
// does not trim every one of them in every path form.
size_t StoredLength(const std::vector<std::u16string_view>& components) {
  size_t length = 0;
  for (const std::u16string_view component : components) length += 1 + component.size();
  return length - (components.back().size() - StoredComponent(components.back()).size());
}

}  // namespace

std::u16string_view StoredComponent(std::u16string_view component) {
  const size_t last = component.find_last_not_of(u". ");
  return last == std::u16string_view::npos ? std::u16string_view() : component.substr(0, last + 1);
}

bool IsStorableName(std::u16string_view name, const std::u16string& applicationDirectory) {
  if (name.find(u':') != std::u16string_view::npos) return false;
  if (applicationDirectory.size() + 1 + name.size() > kMaxListedPathUnits) return false;
  const std::vector<std::u16string_view> components = Components(name);
  if (components.empty()) return false;
  for (const std::u16string_view component : components) {
    if (StoredComponent(component).empty() || IsDeviceName(component)) return false;
  }
  const std::u16string_view stored = StoredComponent(components.back());
  if (IsStagingPath(stored) || IsAsidePath(stored)) return false;
  return applicationDirectory.size() + StoredLength(components) <= kMaxPathUnits;
}

std::u16string LocalFileName(const std::u16string& name) {
  if (!EndsWithIgnoringAsciiCase<char16_t>(name, kZippedIniEnding)) return name;
  return name.substr(0, name.size() - kZippedIniEnding.size()) + std::u16string(kIniEnding);
}
