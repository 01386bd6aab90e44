#include "base/staging_path.h"

#include <windows.h>

#include "base/wide_string_win.h"

std::u16string SiblingPathFor(const std::u16string& target, std::u16string_view suffix) {
  // The long-path form takes no "/", no trailing dots or blanks: those are
  // resolved here once, as every other call on target resolves them.
  const DWORD needed = GetFullPathNameW(AsWide(target), 0, nullptr, nullptr);
  std::wstring full(needed, L'\0');
  const DWORD length =
      needed == 0 ? 0 : GetFullPathNameW(AsWide(target), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return target + std::u16string(suffix);
  return SiblingPathForFullPath(FromWide(full.data(), length), suffix);
}
