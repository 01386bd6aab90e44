#include "publish/native_path.h"

#include "publish/utf8.h"

std::filesystem::path ToNativePath(const std::u16string& path) {
  return std::filesystem::path(ToUtf8(path));
}

std::optional<std::u16string> FromNativePath(const std::filesystem::path& path) {
  return FromUtf8(path.native());
}
