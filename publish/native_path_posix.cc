#include "publish/native_path.h"

#include <cerrno>

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

namespace {

// Owns a file descriptor: closed once, on every way out.
class ScopedFd {
 public:
  explicit ScopedFd(int fd) : fd_(fd) {}
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  ~ScopedFd() { Reset(-1); }
  bool IsValid() const { return fd_ >= 0; }
  int Get() const { return fd_; }
  void Reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

class FdFile : public ReadableFile {
 public:
  explicit FdFile(int fd) : fd_(fd) {}
  std::optional<size_t> ReadSome(char* into, size_t size) override {
    for (;;) {
      const ssize_t step = read(fd_.Get(), into, size);
      if (step >= 0) return static_cast<size_t>(step);
      if (errno != EINTR) return std::nullopt;
    }
  }
  bool Rewind() override { return lseek(fd_.Get(), 0, SEEK_SET) == 0; }

 private:
  ScopedFd fd_;
};

HeldFile Refused(const char* problem) { return HeldFile{nullptr, {}, problem}; }

}  // namespace

HeldFile OpenRegularFileBelow(const std::filesystem::path& folder,
                              const std::vector<std::filesystem::path>& parts) {
  if (parts.empty()) return Refused(kNotAFileProblem);
  // The release folder itself is the one the vendor named, links and all.
  ScopedFd at(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  size_t part = 0;
  for (; at.IsValid() && part + 1 < parts.size(); ++part) {
    const int next = openat(at.Get(), parts[part].c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) break;
    at.Reset(next);
  }
  // O_NONBLOCK: a FIFO put in the file's place must not hold the run; it is
  // refused below as not a regular file.
  const int fd = at.IsValid() && part + 1 == parts.size()
                     ? openat(at.Get(), parts[part].c_str(),
                              O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)
                     : -1;
  if (fd < 0) {
    struct stat entry;
    const bool link = at.IsValid() &&
                      fstatat(at.Get(), parts[part].c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISLNK(entry.st_mode);
    return Refused(link ? kLinkProblem : "cannot be read");
  }
  auto file = std::make_unique<FdFile>(fd);
  struct stat status;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return Refused(kNotAFileProblem);
  return HeldFile{std::move(file),
                  FileIdentity{static_cast<uint64_t>(status.st_dev),
                               static_cast<uint64_t>(status.st_ino)},
                  {}};
}

std::filesystem::path ResolvedPath(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
  return error ? std::filesystem::absolute(path, error) : resolved;
}
