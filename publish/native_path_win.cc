#include "publish/native_path.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows paths are UTF-16 units");

std::filesystem::path ToNativePath(const std::u16string& path) {
  return std::filesystem::path(std::wstring(path.begin(), path.end()));
}

std::optional<std::u16string> FromNativePath(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  return std::u16string(wide.begin(), wide.end());
}
