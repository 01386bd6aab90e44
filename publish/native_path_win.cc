#include "publish/native_path.h"

#include <windows.h>

#include <algorithm>
#include <list>

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

namespace {

class HandleFile : public ReadableFile {
 public:
  explicit HandleFile(HANDLE handle) : handle_(handle) {}
  HANDLE Get() const { return handle_.Get(); }
  std::optional<size_t> ReadSome(char* into, size_t size) override {
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    if (!ReadFile(handle_.Get(), into, wanted, &read, nullptr)) return std::nullopt;
    return read;
  }
  bool Rewind() override {
    LARGE_INTEGER start = {};
    return SetFilePointerEx(handle_.Get(), start, nullptr, FILE_BEGIN);
  }

 private:
  ScopedHandle handle_;
};

HeldFile Refused(const char* problem) { return HeldFile{nullptr, {}, problem}; }

FileIdentity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& information) {
  return FileIdentity{information.dwVolumeSerialNumber,
                      (static_cast<uint64_t>(information.nFileIndexHigh) << 32) |
                          information.nFileIndexLow};
}

bool IsReparsePoint(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION information;
  return !GetFileInformationByHandle(handle, &information) ||
         (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

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
  return IdentityFrom(information);
}

bool OthersMayAccess(const std::filesystem::path&) { return false; }

HeldFile OpenRegularFileBelow(const std::filesystem::path& folder,
                              const std::vector<std::filesystem::path>& parts) {
  if (parts.empty()) return Refused(kNotAFileProblem);
  // Windows opens no file relative to a folder handle, so every folder on
  // the way is held open, checked, and shared without delete access: while
  // held it cannot be renamed, removed or replaced by a link. (The handle
  // asks to list the folder: a handle for attributes alone takes no part in
  // sharing.) The release folder itself is the one the vendor named, links
  // and all.
  std::list<ScopedHandle> folders;
  std::filesystem::path path = folder;
  for (size_t i = 0; i < parts.size(); ++i) {
    const bool top = i == 0;
    const DWORD linkFlag = top ? 0 : FILE_FLAG_OPEN_REPARSE_POINT;
    const ScopedHandle& held = folders.emplace_back(
        CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | linkFlag, nullptr));
    if (!held.IsValid()) return Refused("cannot be read");
    if (!top && IsReparsePoint(held.Get())) return Refused(kLinkProblem);
    path /= parts[i];
  }
  // Readers only: a program that writes the file keeps us out, and we keep
  // it out while the file is read.
  auto file = std::make_unique<HandleFile>(CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  BY_HANDLE_FILE_INFORMATION information;
  if (file->Get() == INVALID_HANDLE_VALUE ||
      !GetFileInformationByHandle(file->Get(), &information)) {
    return Refused("cannot be read");
  }
  if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return Refused(kLinkProblem);
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      GetFileType(file->Get()) != FILE_TYPE_DISK) {
    return Refused(kNotAFileProblem);
  }
  return HeldFile{std::move(file), IdentityFrom(information), {}};
}

std::filesystem::path ResolvedPath(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  std::filesystem::path existing = absolute;
  while (GetFileAttributesW(existing.c_str()) == INVALID_FILE_ATTRIBUTES &&
         existing.has_relative_path()) {
    existing = existing.parent_path();
  }
  ScopedHandle handle(CreateFileW(existing.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  std::wstring final(MAX_PATH, L'\0');
  for (int attempt = 0; handle.IsValid() && attempt < 2; ++attempt) {
    const DWORD size = GetFinalPathNameByHandleW(handle.Get(), final.data(),
                                                 static_cast<DWORD>(final.size()),
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (size == 0) break;
    if (size < final.size()) {
      final.resize(size);
      // "\\?\C:\..." as a drive path, "\\?\UNC\server\..." as "\\server\...".
      if (final.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        final = L"\\\\" + final.substr(8);
      } else if (final.rfind(L"\\\\?\\", 0) == 0) {
        final = final.substr(4);
      }
      const std::filesystem::path rest = absolute.lexically_relative(existing);
      return rest == "." ? std::filesystem::path(final) : std::filesystem::path(final) / rest;
    }
    final.resize(size);
  }
  return absolute;
}
