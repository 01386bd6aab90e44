#include "lists/storable_name.h"

#include <algorithm>
#include <string>
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

template <typename Unit>
bool IsSeparator(Unit unit) {
  return unit == Unit('/') || unit == Unit('\\');
}

// A component as Windows stores it: without its trailing dots and blanks.
// Neither byte is ever the second byte of a code page 949 character, so the
// bytes of a listed name are trimmed as its characters are.
template <typename Unit>
std::basic_string_view<Unit> WithoutTrailingDotsAndBlanks(std::basic_string_view<Unit> component) {
  const Unit dotAndBlank[] = {Unit('.'), Unit(' ')};
  return component.substr(0, component.find_last_not_of(dotAndBlank, std::string::npos, 2) + 1);
}

// The name under which the launcher stores a listed file, on UTF-16 units or
// on a listed name's bytes alike (the ending's "." is never part of a
// double-byte character).
template <typename Unit>
std::basic_string<Unit> StoredUnder(std::basic_string<Unit> name) {
  const std::basic_string<Unit> zipped(kZippedIniEnding.begin(), kZippedIniEnding.end());
  if (!EndsWithIgnoringAsciiCase<Unit>(name, zipped)) return name;
  name.resize(name.size() - zipped.size());
  return name.append(kIniEnding.begin(), kIniEnding.end());
}

// Code page 949: a byte from 0x81 to 0xFE followed by one of these is one
// double-byte character. No separator, dot or blank is ever such a byte.
bool IsLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }
bool IsTrailByte(unsigned char byte) {
  return (byte >= 0x41 && byte <= 0x5A) || (byte >= 0x61 && byte <= 0x7A) || byte >= 0x81;
}

// The double-byte letters of code page 949 whose upper-case form, as Windows
// folds names, is in the code page too: the second bytes first..last under
// lead are the letters upperLead, second byte + shift.
struct CaseRange {
  unsigned char lead, first, last, upperLead;
  int shift;
};
constexpr CaseRange kLowerCaseRanges[] = {
    {0xA3, 0xE1, 0xFA, 0xA3, -0x20},  // full-width a to z
    {0xA5, 0xA1, 0xAA, 0xA5, 0x0F},   // small Roman numerals 1 to 10
    {0xA5, 0xE1, 0xF8, 0xA5, -0x20},  // Greek alpha to omega
    {0xA9, 0xA1, 0xA1, 0xA8, 0},      // ae
    {0xA9, 0xA3, 0xA3, 0xA8, -1},     // eth
    {0xA9, 0xA4, 0xA4, 0xA8, 0},      // h with stroke
    {0xA9, 0xA6, 0xA6, 0xA8, 0},      // ij
    {0xA9, 0xA8, 0xAB, 0xA8, 0},      // l with middle dot, l with stroke, o with stroke, oe
    {0xA9, 0xAD, 0xAF, 0xA8, 0},      // thorn, t with stroke, eng
    {0xAC, 0xD1, 0xF1, 0xAC, -0x30},  // Cyrillic a to ya, io
};

// Appends the component's characters in upper case as Windows compares names
// (one character at a time, by table). Bytes that form no character of the
// code page stay as they are, and the second byte of a double-byte character
// is never taken for an ASCII letter. The dotless i has no upper case in
// Windows' table, so it stays apart from I.
void AppendInUpperCase(std::string_view component, std::string& key) {
  for (size_t i = 0; i < component.size(); ++i) {
    const auto byte = static_cast<unsigned char>(component[i]);
    if (!IsLeadByte(byte) || i + 1 == component.size() ||
        !IsTrailByte(static_cast<unsigned char>(component[i + 1]))) {
      key += byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 'a' + 'A') : component[i];
      continue;
    }
    auto second = static_cast<unsigned char>(component[++i]);
    unsigned char lead = byte;
    for (const CaseRange& range : kLowerCaseRanges) {
      if (lead == range.lead && second >= range.first && second <= range.last) {
        lead = range.upperLead;
        second = static_cast<unsigned char>(second + range.shift);
        break;
      }
    }
    key += static_cast<char>(lead);
    key += static_cast<char>(second);
  }
}

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
template <typename Unit>
std::vector<std::basic_string_view<Unit>> Components(std::basic_string_view<Unit> name) {
  std::vector<std::basic_string_view<Unit>> components;
  while (!name.empty()) {
    const auto separator = std::find_if(name.begin(), name.end(), IsSeparator<Unit>);
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
  return WithoutTrailingDotsAndBlanks(component);
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
  // A download stored as the journal would replace the launcher's own notes
  // of its aside copies and cut transfers in the middle of the run.
  if (components.size() == 1 && EqualsIgnoringAsciiCase(stored, kOwnedFilesName)) return false;
  return applicationDirectory.size() + StoredLength(components) <= kMaxPathUnits;
}

std::u16string LocalFileName(const std::u16string& name) { return StoredUnder(name); }

std::string StoredNameKey(std::string_view listedName) {
  // The conversion to UTF-16 ends the name at its first zero byte.
  const std::string stored = StoredUnder(std::string(listedName.substr(0, listedName.find('\0'))));
  std::string key;
  std::string_view last;
  for (const std::string_view component : Components<char>(stored)) {
    const std::string_view kept = WithoutTrailingDotsAndBlanks(component);
    if (kept.empty()) continue;
    last = kept;
    if (!key.empty()) key += '\\';
    AppendInUpperCase(last, key);
  }
  // A file stored under an ".i.zip" name keeps a trailing dot in its key, so
  // that the key, listed as a name, is stored as that very file.
  if (EndsWithIgnoringAsciiCase(last, std::string_view(".i.zip"))) key += '.';
  return key;
}
