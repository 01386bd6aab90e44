#include "publish/native_path.h"

#include <windows.h>

#include "base/scoped_win.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows paths are UTF-16 units");

std::filesystem::path ToNativePath(const std::u16string& path) {
  return std::filesystem::path(std::wstring(path.begin(), path.end()));
}

std::optional<std::u16string> FromNativePath(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  return std::u16string(wide.begin(), wide.end());
}

bool WriteNewOwnerOnlyFile(const std::filesystem::path& path, const std::string& bytes) {
  bool whole = false;
  {
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    DWORD written = 0;
    whole = WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                      nullptr) &&
            written == bytes.size();
  }
  // A half-written key would stand in the way of the next attempt.
  if (!whole) DeleteFileW(path.c_str());
  return whole;
}

bool IsLinkOrReparsePoint(const std::filesystem::path& path) {
  // GetFileAttributesW reports the entry itself, not what a link leads to.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
  // Attributes only, shared with every other opener; folders need the
  // backup-semantics flag to be opened at all.
  ScopedHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information;
  if (!file.IsValid() || !GetFileInformationByHandle(file.Get(), &information)) {
    return std::nullopt;
  }
  return FileIdentity{information.dwVolumeSerialNumber,
                      (static_cast<uint64_t>(information.nFileIndexHigh) << 32) |
                          information.nFileIndexLow};
}

bool OthersMayAccess(const std::filesystem::path&) { return false; }
