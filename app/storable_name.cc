#include "app/storable_name.h"

#include <algorithm>

#include "base/ascii_case.h"
#include "base/staging_path.h"

namespace {

// A stored file's full path must fit the platform's limit (MAX_PATH, 260
// units with the terminating zero) also under its staging name, in which it
// is written first.
constexpr size_t kMaxPathUnits = 259;

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

// Windows drops trailing dots and blanks from a path component, so such a
// component names another file than the server meant (".." and "." climb out
// or collapse into their parent). An empty component ("sub//a") collapses
// harmlessly.
bool IsSafeComponent(std::u16string_view component) {
  if (component.empty()) return true;
  return component.back() != u'.' && component.back() != u' ' && !IsDeviceName(component);
}

}  // namespace

bool IsStorableName(std::u16string_view name, const std::u16string& applicationDirectory) {
  if (name.empty() || IsSeparator(name.front())) return false;
  if (name.find(u':') != std::u16string_view::npos || IsStagingPath(name)) return false;
  if (applicationDirectory.size() + 1 + name.size() + kStagingSuffix.size() > kMaxPathUnits) {
    return false;
  }
  while (true) {
    const auto separator = std::find_if(name.begin(), name.end(), IsSeparator);
    const size_t length = static_cast<size_t>(separator - name.begin());
    if (!IsSafeComponent(name.substr(0, length))) return false;
    if (separator == name.end()) return true;
    name.remove_prefix(length + 1);
  }
}

