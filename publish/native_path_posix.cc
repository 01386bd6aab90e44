#include "publish/native_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/utf8.h"

std::filesystem::path ToNativePath(const std::u16string& path) {
  return std::filesystem::path(ToUtf8(path));
}

std::optional<std::u16string> FromNativePath(const std::filesystem::path& path) {
  return FromUtf8(path.native());
}

bool WriteNewOwnerOnlyFile(const std::filesystem::path& path, const std::string& bytes) {
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (file < 0) return false;
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t step = write(file, bytes.data() + written, bytes.size() - written);
    if (step <= 0) break;
    written += static_cast<size_t>(step);
  }
  const bool whole = close(file) == 0 && written == bytes.size();
  // A half-written key would stand in the way of the next attempt.
  if (!whole) unlink(path.c_str());
  return whole;
}

bool IsLinkOrReparsePoint(const std::filesystem::path& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

bool OthersMayAccess(const std::filesystem::path& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 &&
         (status.st_mode & (S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH)) != 0;
}
